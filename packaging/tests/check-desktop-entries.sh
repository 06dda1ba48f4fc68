#!/usr/bin/env bash
# The menu and login start entries as installed pass desktop-file-validate
# (hints allowed) and xdg-desktop-menu, carry the one id, are found by a menu
# search in English and German, and really start the program through a path
# that needs every kind of Exec quoting.
#   check-desktop-entries.sh <packaging folder> <configured templates> <application id> <scratch>
set -euo pipefail
usage="usage: check-desktop-entries.sh <packaging folder> <configured templates> <id> <scratch folder>"
src=${1:?$usage}
templates=${2:?$usage}
id=${3:?$usage}
work=${4:?$usage}
rm -rf "$work" && mkdir -p "$work"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

validate() {
  local out
  out=$(desktop-file-validate "$1" 2>&1) || { echo "$out"; bad "$1 is not valid"; return; }
  if grep -Ev ': hint: ' <<<"$out" | grep -q .; then echo "$out"; bad "$1 draws warnings"; fi
}
key() { sed -n "s/^$1=//p" "$2"; }

bin="$work/my \$HOME \"q\" \`x\` back\\slash & ä"
mkdir -p "$bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$#" "$@" > "%s/ran-$(basename "$0")"\n' "$work" > "$bin/Velkora"
chmod +x "$bin/Velkora"
ln -s Velkora "$bin/velkora"
menu=$work/menu/$id.desktop
login=$work/autostart/$id.desktop
bash "$src/write-entry.sh" "$templates/menu.desktop.in" "$bin/velkora" "$menu"
bash "$src/write-entry.sh" "$templates/autostart.desktop.in" "$bin/Velkora" "$login"
for entry in "$menu" "$login"; do
  validate "$entry"
  [[ $(key Icon "$entry") == "$id" ]] || bad "$entry does not name the icon $id"
done
mains=$(key Categories "$menu" | tr ';' '\n' \
  | grep -cxE 'AudioVideo|Audio|Video|Development|Education|Game|Graphics|Network|Office|Science|Settings|System|Utility' || true)
[[ $mains == 1 ]] || bad "the menu entry has $mains main categories, not one"
grep -q '^X-GNOME-Autostart-Phase' "$login" && bad "the login start must not ask for an autostart phase"
HOME=$work/home XDG_DATA_HOME=$work/home/share XDG_CONFIG_HOME=$work/home/config \
  xdg-desktop-menu install --mode user "$menu" || bad "xdg-desktop-menu refuses $menu"

# The menu's search (GIO's, as GNOME Shell's) finds the entry by its English
# words where no language is chosen, and by its German ones in German.
search() { # <locale> <term>: the desktop ids found
  LC_ALL=$1 XDG_DATA_HOME=$work/home/share XDG_DATA_DIRS=$work/none env -u LANGUAGE /usr/bin/python3 -c '
import sys, gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio
print(*(app for hits in Gio.DesktopAppInfo.search(sys.argv[1]) for app in hits))' "$2"
}
for query in "C login" "de_DE.UTF-8 Anmeldung"; do
  read -r locale term <<<"$query"
  [[ " $(search "$locale" "$term") " == *" $id.desktop "* ]] || bad "searching '$term' in locale $locale misses the menu entry"
done

# gio launches the way the desktop does; what arrives must be the exact argv.
for entry in "$menu" "$login"; do
  rm -f "$work"/ran-*
  gio launch "$entry" || { bad "gio could not launch $entry"; continue; }
  for _ in $(seq 50); do compgen -G "$work/ran-*" >/dev/null && break; sleep 0.1; done
  if [[ $entry == "$menu" ]]; then want=$'1\n/config'; else want=0; fi
  got=$(cat "$work"/ran-* 2>/dev/null || echo "(not started)")
  [[ $got == "$want" ]] || bad "$entry passed [$got], expected [$want]"
done

if bash "$src/write-entry.sh" "$templates/autostart.desktop.in" "$work/50%/Velkora" "$work/bad.desktop" 2>/dev/null \
  || [[ -e $work/bad.desktop ]]; then
  bad "a path with a percent sign must be refused"
fi
[[ $fail == 0 ]] && echo "desktop entries valid"
exit $fail
