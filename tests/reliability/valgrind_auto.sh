#!/bin/bash
# The countdown under memcheck passing a slot without a path, then starting one (the third entry
# only raises the count): no error. Leaks are the sanitizer build's to judge; Debian 12's Qt,
# fontconfig and glib need no suppressions.
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT && cp "$1" "$work/Velkora" || exit 1
printf '[0]\nName=ohne Pfad\nZEIT=1\n[1]\nDATEI=/bin/true\nName=Wahr\nZEIT=1\n[2]\nDATEI=/bin/true\n' >"$work/Velkora.ini"
SECONDS=0
timeout -s KILL 500 valgrind --error-exitcode=1 --leak-check=no --track-origins=yes \
    --log-file="$work/valgrind.log" "$work/Velkora"
rc=$?
echo "RESULT valgrind_auto: status $rc, $(grep -o 'ERROR SUMMARY: [0-9]* errors' "$work/valgrind.log"), $SECONDS s"
[ $rc = 0 ] || { grep -v '^==[0-9]*== *$' "$work/valgrind.log" | head -150; exit 1; }
