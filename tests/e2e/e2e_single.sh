#!/bin/bash
# A second copy hands over to the running first copy and ends before it reads
# its configuration file: that file is a FIFO here, so any read would hang.
# Usage: e2e_single.sh <Velkora executable> <scratch folder>
set -u
exe=$1
work=$2
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$work"
mkdir -p "$work/app" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$work/app/Velkora"
printf '[0]\r\nDATEI=/bin/true\r\nNAME=Wahr\r\nZEIT=10\r\n' >"$work/app/Velkora.ini"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen

"$work/app/Velkora" /config >"$work/first.out" 2>&1 &
first=$!
for _ in $(seq 100); do
    compgen -G "$work/runtime/Velkora-*.socket" >/dev/null && break
    sleep 0.05
done
check "first copy listens" compgen -G "$work/runtime/Velkora-*.socket"

rm "$work/app/Velkora.ini"
mkfifo "$work/app/Velkora.ini"
begin=$(date +%s%N)
# The guard gives up after a second; five cover a slow (sanitizer) start.
timeout 5 "$work/app/Velkora" /config >"$work/second.out" 2>&1
status=$?
echo "second copy ended with status $status after $((($(date +%s%N) - begin) / 1000000)) ms"
check "second copy ends at once with status 0" test "$status" -eq 0
check "first copy runs on" kill -0 "$first"
check "second copy wrote nothing" test ! -s "$work/second.out"

kill -9 "$first" 2>/dev/null
wait "$first" 2>/dev/null
rm -f "$work/app/Velkora.ini"
finish
