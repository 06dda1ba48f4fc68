#!/usr/bin/env bash
# Each start's delay from its due time over a 60 s schedule (six entries, ten
# seconds apart), measured from when the countdown window is seen mapped.
# Prints figures only. usage: bench_schedule.sh <Velkora executable>
set -eu
exe=${1:?usage: bench_schedule.sh <Velkora executable>}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench_schedule.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app" && mkdir -m 700 "$work/runtime"
cp "$exe" "$work/app/Velkora"
for i in 0 1 2 3 4 5; do
    printf "[%d]\nDATEI=/bin/sh -c 'date +%%s.%%N >> %s/log'\nName=Eintrag %d\nZEIT=10\n" "$i" "$work" "$i"
done >"$work/app/Velkora.ini"
cat >"$work/run.sh" <<'RUN'
"$1/app/Velkora" &
while ! xdotool search --onlyvisible --name '^Autostart$' >/dev/null 2>&1; do sleep 0.002; done
date +%s.%N >"$1/mapped"
wait
RUN
XDG_RUNTIME_DIR=$work/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null \
    xvfb-run -a bash "$work/run.sh" "$work"
awk -v mapped="$(cat "$work/mapped")" '{ k++; printf "start %d, due %2d s after the window: %+7.1f ms\n", k, 10 * k, ($1 - mapped - 10 * k) * 1000 }' "$work/log"
