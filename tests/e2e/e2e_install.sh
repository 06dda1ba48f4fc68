#!/usr/bin/env bash
# Installs into a scratch prefix, starts the countdown through the installed
# link (so the configuration must be found beside the real executable, not
# beside the link or in the working folder), then uninstalls and checks that
# only the user's configuration is left.
#   e2e_install.sh <built Velkora> <scratch folder>
set -euo pipefail
exe=${1:?usage: e2e_install.sh <built Velkora> <scratch folder>}
work=${2:?usage: e2e_install.sh <built Velkora> <scratch folder>}
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$(dirname "$exe")" && pwd)
prefix=$work/prefix
folder=$prefix/lib/velkora

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" \
  || { cat "$work/install.log"; fail "cmake --install failed"; }
manifest=$build/install_manifest.txt

[[ -x $folder/Velkora && ! -L $folder/Velkora ]] || fail "no executable at $folder/Velkora"
[[ -L $prefix/bin/velkora ]] || fail "$prefix/bin/velkora is not a link"
[[ $(readlink "$prefix/bin/velkora") == ../lib/velkora/Velkora ]] \
  || fail "the link must be relative: $(readlink "$prefix/bin/velkora")"
for f in share/applications/velkora.desktop share/icons/hicolor/scalable/apps/velkora.svg \
         share/man/man1/velkora.1 share/metainfo/io.github.velkora.Velkora.metainfo.xml; do
  [[ -f $prefix/$f ]] || fail "not installed: $f"
done
cmp -s "$src/resources/icons/velkora.svg" "$prefix/share/icons/hicolor/scalable/apps/velkora.svg" \
  || fail "the installed icon is not the program's own"

# One entry, a script in a folder with a blank, started after 2 seconds.
mkdir -p "$work/my tools"
marker=$work/started
printf '#!/bin/sh\necho started > "%s"\n' "$marker" > "$work/my tools/mark.sh"
chmod +x "$work/my tools/mark.sh"
printf '[0]\r\nDATEI=%s\r\nName=Markierung\r\nZEIT=2\r\n' "$work/my tools/mark.sh" > "$folder/Velkora.ini"
# A decoy beside the link and in the working folder must not be read.
printf '[0]\nDATEI=/bin/false\nName=Falsch\nZEIT=2\n' > "$prefix/bin/Velkora.ini"
mkdir -p "$work/cwd" && cp "$prefix/bin/Velkora.ini" "$work/cwd/Velkora.ini"

runtime=$work/runtime
mkdir -p "$runtime" && chmod 700 "$runtime"
start=$SECONDS
rc=0
(cd "$work/cwd" && XDG_RUNTIME_DIR=$runtime timeout 60 \
  xvfb-run -a -s "-screen 0 800x600x24" "$prefix/bin/velkora") > "$work/run.log" 2>&1 || rc=$?
took=$((SECONDS - start))
# The started program runs on by itself and may write a moment later.
for _ in $(seq 50); do [[ -f $marker ]] && break; sleep 0.1; done
[[ $rc == 0 ]] || { cat "$work/run.log"; fail "the countdown through the link ended with status $rc"; }
[[ -f $marker ]] || { cat "$work/run.log"; fail "the entry was not started (no marker after ${took}s)"; }
echo "countdown started the entry and ended after ${took}s"

# Uninstall with a login start entry that belongs to this installation.
autostart=$work/config/autostart/velkora.desktop
bash "$src/packaging/write-entry.sh" autostart "$prefix/bin/velkora" "$autostart"
bash "$src/packaging/uninstall.sh" "$prefix" "$autostart" > "$work/uninstall.log"
cat "$work/uninstall.log"
[[ -f $folder/Velkora.ini ]] || fail "uninstall removed the user's Velkora.ini"
grep -q 'Velkora.ini' "$work/uninstall.log" || fail "uninstall did not say that it kept the configuration"
[[ ! -e $autostart ]] || fail "uninstall left the login start entry"
while IFS= read -r f; do
  [[ -e $f || -L $f ]] && fail "uninstall left $f"
done < "$manifest"

# Without a configuration the folder goes too.
rm "$folder/Velkora.ini"
bash "$src/packaging/uninstall.sh" "$prefix" > /dev/null
[[ ! -e $folder ]] || fail "uninstall left the empty folder $folder"
echo "install, start through the link and uninstall: ok"
