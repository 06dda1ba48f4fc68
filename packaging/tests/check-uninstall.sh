#!/usr/bin/env bash
# `make install`'s rules over an earlier install's menu entry, then
# uninstall.sh: the old entry goes, uninstall removes every file the rules
# installed and the login start of this install, and keeps the user's list.
#   check-uninstall.sh <packaging folder> <build folder> <application id> <scratch folder>
set -euo pipefail
usage="usage: check-uninstall.sh <packaging folder> <build folder> <id> <scratch folder>"
src=${1:?$usage}
build=${2:?$usage}
id=${3:?$usage}
work=${4:?$usage}
prefix=$work/prefix
login=$work/autostart/$id.desktop
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$prefix/share/applications"
: > "$prefix/share/applications/velkora.desktop"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "install"; }
[[ ! -e $prefix/share/applications/velkora.desktop ]] || fail "the earlier install's menu entry stayed"
[[ -f $prefix/share/applications/$id.desktop ]] || fail "no menu entry $id.desktop"
: > "$prefix/lib/velkora/Velkora.ini"
bash "$src/write-entry.sh" "$build/packaging/autostart.desktop.in" "$prefix/lib/velkora/Velkora" "$login"
bash "$src/uninstall.sh" "$prefix" "$id" "$login"
[[ -f $prefix/lib/velkora/Velkora.ini ]] || fail "uninstall took the list"
[[ ! -e $login ]] || fail "uninstall left the login start"
while IFS= read -r f; do
  [[ -e $f || -L $f ]] && fail "uninstall left $f"
done < "$build/install_manifest.txt"
echo "install and uninstall agree"
