#!/usr/bin/env bash
# The menu entry as committed and as installed, and the login start entry,
# pass desktop-file-validate (hints allowed); the installed entries really
# start the program through a path that needs quoting.
set -euo pipefail
src=${1:?usage: check-desktop-entries.sh <packaging folder> <scratch folder>}
work=${2:?usage: check-desktop-entries.sh <packaging folder> <scratch folder>}
rm -rf "$work" && mkdir -p "$work"
fail=0

validate() {
  local out
  out=$(desktop-file-validate "$1" 2>&1) || { echo "$out"; echo "FAIL: $1 is not valid"; fail=1; return; }
  if grep -Ev ': hint: ' <<<"$out" | grep -q .; then
    echo "$out"; echo "FAIL: $1 draws warnings"; fail=1
  fi
}
key() { sed -n "s/^$1=//p" "$2"; }

validate "$src/velkora.desktop"
[[ $(key Exec "$src/velkora.desktop") == "velkora /config" ]] || { echo "FAIL: the menu entry must open the configuration"; fail=1; }

# A folder whose name needs every kind of Exec quoting.
bin="$work/my \$HOME \"q\" \`x\` back\\slash"
mkdir -p "$bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$#" "$@" > "%s/ran-$(basename "$0")"\n' "$work" > "$bin/velkora.real"
chmod +x "$bin/velkora.real"
ln -s velkora.real "$bin/velkora"

bash "$src/write-entry.sh" menu "$bin/velkora" "$work/menu/velkora.desktop"
bash "$src/write-entry.sh" autostart "$bin/velkora" "$work/autostart/velkora.desktop"
validate "$work/menu/velkora.desktop"
validate "$work/autostart/velkora.desktop"
if grep -q '^X-GNOME-Autostart-Phase' "$work/autostart/velkora.desktop"; then
  echo "FAIL: the login start must not ask for an autostart phase"; fail=1
fi

# gio launches the way the desktop does; what arrives must be the exact argv.
for kind in menu autostart; do
  rm -f "$work/ran-velkora"
  gio launch "$work/$kind/velkora.desktop" || { echo "FAIL: gio could not launch the $kind entry"; fail=1; continue; }
  for _ in $(seq 50); do [[ -s $work/ran-velkora ]] && break; sleep 0.1; done
  if [[ $kind == menu ]]; then want=$'1\n/config'; else want=0; fi
  got=$(cat "$work/ran-velkora" 2>/dev/null || echo "(not started)")
  [[ $got == "$want" ]] || { echo "FAIL: the $kind entry passed [$got], expected [$want]"; fail=1; }
done

if bash "$src/write-entry.sh" autostart "$work/50%/velkora" "$work/bad.desktop" 2>/dev/null || [[ -e $work/bad.desktop ]]; then
  echo "FAIL: a path with a percent sign must be refused"; fail=1
fi
[[ $fail == 0 ]] && echo "desktop entries valid"
exit $fail
