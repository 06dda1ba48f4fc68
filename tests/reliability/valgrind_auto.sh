#!/bin/bash
# Runs the program under valgrind (memcheck) in automatic mode with a small
# configuration: one entry that starts /bin/true after a second, one without a
# path. Passes when valgrind reports no error. Leaks are not judged here (the
# sanitizer build does that).
# Qt, fontconfig and glib gave no reports here (Debian 12, valgrind 3.19), so
# no suppression file is needed; one can be given for other systems.
# Usage: valgrind_auto.sh <Velkora executable> [suppression file]
set -u
exe=$(realpath "$1")
supp=()
[ $# -ge 2 ] && supp=(--suppressions="$(realpath "$2")")
command -v valgrind >/dev/null || { echo "SKIP valgrind_auto: valgrind is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
cp "$exe" "$work/Velkora"
printf '[0]\nDATEI=/bin/true\nName=Wahr\nZEIT=1\n[1]\nName=ohne Pfad\nZEIT=1\n' >"$work/Velkora.ini"
cd "$work" || exit 1
start=$(date +%s)
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null \
  timeout -s KILL 500 valgrind --error-exitcode=1 --leak-check=no --track-origins=yes \
  "${supp[@]}" --gen-suppressions=all --log-file="$work/valgrind.log" ./Velkora
rc=$?
errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$work/valgrind.log" | tail -1)
suppressed=$(sed -n 's/.*ERROR SUMMARY: .*suppressed: \([0-9]*\) from.*/\1/p' "$work/valgrind.log" | tail -1)
echo "RESULT valgrind_auto: status $rc, errors ${errors:-?}, suppressed ${suppressed:-?}, $(( $(date +%s) - start )) s"
if [ "$rc" -ne 0 ] || [ "${errors:-1}" != 0 ]; then
    grep -v '^==[0-9]*== *$' "$work/valgrind.log" | head -150
    exit 1
fi
