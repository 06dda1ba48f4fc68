#!/usr/bin/env bash
# `make deb`, lintian, hardening-check; the package, in a scratch root that a private mount
# namespace lays over /usr, run by nobody without XDG_CONFIG_HOME from /usr/bin/velkora.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
work=${2:?usage: e2e_install.sh <built Velkora> <scratch folder>} id=${VELKORA_APP_ID:?}
fail() { echo "FAIL: $*" >&2; exit 1; }
if [[ ${3:-} != inside ]]; then
  [[ $(id -u) == 0 ]] || { echo "needs root for a mount namespace"; exit 77; }
  rm -rf "$work" && mkdir -p "$work"
  make -C "$(dirname "$0")/../.." -s deb DEB_DIR="$work/deb" JOBS=2 > "$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; fail "make deb"; }
  TMPDIR=$work lintian --display-info --fail-on error,warning "$work"/deb/*.changes || fail "lintian"
  dpkg-deb -x "$work"/deb/velkora_*.deb "$work/root"
  hardening-check "$work/root/usr/lib/velkora/Velkora" || fail "hardening-check"
  # The program's IBT and SHSTK note is set by hand (glibc's start files lack it): each object must have it.
  mapfile -t objects < <(find "$work/deb/src" -name '*.o')
  (( ${#objects[@]} > 0 )) || fail "no objects in the package build"
  for o in "${objects[@]}"; do [[ $(readelf -n "$o") == *"x86 feature: IBT, SHSTK"* ]] || fail "no IBT and SHSTK note in $o"; done
  unshare --mount --propagation private --net --pid --fork --kill-child --mount-proc bash "$0" - "$work" inside
  rm -rf "$work/root" && echo "package built, checked, run as installed and removed: ok" && exit 0
fi

mount -t overlay overlay -o lowerdir="$work/root/usr:/usr" /usr
mount -t tmpfs -o mode=1777 tmpfs /tmp && cd /tmp
install -d -o 65534 -g 65534 -m 700 /tmp/home /tmp/run
printf '#!/bin/sh\necho started > /tmp/started\n' > /tmp/mark.sh && chmod 755 /tmp/mark.sh
start_x
list=/tmp/home/.config/velkora/Velkora.ini
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env -u XDG_CONFIG_HOME HOME=/tmp/home
           XDG_RUNTIME_DIR=/tmp/run DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null)
"${as_nobody[@]}" /usr/bin/velkora /config > /tmp/config.log 2>&1 &
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1) && sleep 0.5
class=$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$id.desktop")
[[ -n $class && $(xprop -id "$wid" WM_CLASS) == *"\"$class\"" ]] || fail "no StartupWMClass, or not the window's"
[[ ! -e ${list%/*} ]] || fail "reading the list made its folder"
eval "$(xdotool getwindowgeometry --shell "$wid")" # menu bar: HEIGHT - 302
xdotool mousemove --window "$wid" 25 $(((HEIGHT - 302) / 2)) click 1 sleep 0.5 key Down Return sleep 0.5
grep -qx 'Exec=/usr/lib/velkora/Velkora' "/tmp/home/.config/autostart/$id.desktop" || fail "Beim Anmelden starten"
xdotool mousemove --window "$wid" 532 $((216 + HEIGHT - 302)) click 1 # Exit
wait $! || fail "the configuration window did not end with Exit"
[[ -f $list && $(stat -c %a "${list%/*}") == 700 ]] || fail "Exit did not make $list in a private folder"
grep -q "list file $list" /tmp/config.log || fail "the start did not name the list file"
printf '[0]\nDATEI=/tmp/mark.sh\nName=Markierung\nZEIT=2\n' > "$list"
"${as_nobody[@]}" timeout 60 /usr/bin/velkora > /tmp/run.log 2>&1 || { cat /tmp/run.log; fail "the countdown"; }
await test -f /tmp/started || fail "the countdown did not start the entry listed in $list"
