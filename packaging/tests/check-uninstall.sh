#!/usr/bin/env bash
# `make install`'s rules into a new shared prefix under a private umask: each
# folder they make is open to everyone, a folder that was there keeps its
# mode, the login start's folder stays private. Installed again over an
# earlier install's menu entry, the old entry goes. Then uninstall.sh removes
# every file the rules installed and the login start of this install, and
# keeps the user's list.
#   check-uninstall.sh <packaging folder> <build folder> <application id> <scratch folder>
set -euo pipefail
usage="usage: check-uninstall.sh <packaging folder> <build folder> <id> <scratch folder>"
src=${1:?$usage}
build=${2:?$usage}
id=${3:?$usage}
work=${4:?$usage}
prefix=$work/opt/velkora
login=$work/home/.config/autostart/$id.desktop
fail() { echo "FAIL: $*"; exit 1; }
install_into_prefix() {
  (umask 077 && cmake --install "$build" --prefix "$prefix") > "$work/install.log" \
    || { cat "$work/install.log"; fail "install"; }
}
rm -rf "$work" && mkdir -p "$work/opt" && chmod 711 "$work/opt"
install_into_prefix
closed=$(find "$prefix" \( -type d ! -perm 755 \) -o \( -type f ! -perm -444 \))
[[ -z $closed ]] || fail "closed to other users: $closed"
[[ $(stat -c %a "$work/opt") == 711 ]] || fail "the install changed the mode of $work/opt"
(umask 022 && bash "$src/write-entry.sh" "$build/packaging/autostart.desktop.in" "$prefix/lib/velkora/Velkora" "$login")
[[ $(stat -c %a "${login%/*}") == 700 ]] || fail "the login start's new folder is open to others"

: > "$prefix/share/applications/velkora.desktop"
install_into_prefix
[[ ! -e $prefix/share/applications/velkora.desktop ]] || fail "the earlier install's menu entry stayed"
[[ -f $prefix/share/applications/$id.desktop ]] || fail "no menu entry $id.desktop"
: > "$prefix/lib/velkora/Velkora.ini"
bash "$src/uninstall.sh" "$prefix" "$id" "$login"
[[ -f $prefix/lib/velkora/Velkora.ini ]] || fail "uninstall took the list"
[[ ! -e $login ]] || fail "uninstall left the login start"
while IFS= read -r f; do
  [[ -e $f || -L $f ]] && fail "uninstall left $f"
done < "$build/install_manifest.txt"
echo "install and uninstall agree"
