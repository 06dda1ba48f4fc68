#!/usr/bin/env bash
# The countdown's start with no session bus, a healthy one and one that never answers (a private
# dbus-daemon, stopped), under its own Xvfb with the xcb platform: launch to window mapped, and
# how late its first entry (due 1 s after the window) starts after the launch, medians of the
# rounds (default 7). Prints figures only. usage: bench_bus_start.sh <Velkora executable> [rounds]
set -u
exe=${1:?usage: $0 <Velkora executable> [rounds]} rounds=${2:-7}
work=$(mktemp -d) || exit 1
trap 'kill -CONT $bus_pid; kill $bus_pid $x_pid; wait; rm -rf -- "$work"' EXIT
mkdir -p "$work/app" && mkdir -m 0700 "$work/run" && cp -- "$exe" "$work/app/Velkora" || exit 1
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
# -displayfd: the server takes a free display itself; xvfb-run -a races others for one.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
x_pid=$!
dbus-daemon --config-file="$(dirname "$0")/../tests/data/desktop/bus.conf" --nofork \
    --address="unix:path=$work/bus" --print-address=3 3>"$work/address" 2>/dev/null &
bus_pid=$!
until [ -s "$work/display" ] && [ -s "$work/address" ]; do sleep 0.01; done
DISPLAY=:$(<"$work/display") && export DISPLAY
printf '#!/bin/sh\ndate +%%s.%%N >%s/started\n' "$work" >"$work/stamp" && chmod +x "$work/stamp"
printf '[0]\nDATEI=%s/stamp\nZEIT=1\n' "$work" >"$work/app/Velkora.ini"

median() { sort -g | awk '{ v[NR] = $1 } END { m = v[int((NR + 1) / 2)]; if (m == "never") print m; else printf "%7.1f", m }'; }
measure() { # <bus address>: "<ms to mapped> <ms from launch to the first start, less 1 s>"
    rm -f "$work/started"
    local launched mapped app i shown=0 until=$((SECONDS + 15))
    launched=$(date +%s.%N)
    DBUS_SESSION_BUS_ADDRESS=$1 "$work/app/Velkora" 2>/dev/null &
    app=$!
    while ((SECONDS < until)) && kill -0 $app 2>/dev/null; do
        xdotool search --onlyvisible --name '^Autostart$' >/dev/null 2>&1 && shown=1 && break
        sleep 0.002
    done
    mapped=$(date +%s.%N)
    # Ended without a window, or none within 15 s: counted as never.
    ((shown)) && wait $app || { kill -9 $app; echo "never never"; return; }
    for ((i = 0; i < 500; i++)); do [ -s "$work/started" ] && break; sleep 0.01; done
    awk -v l="$launched" -v m="$mapped" -v s="$(cat "$work/started")" \
        'BEGIN { printf "%.1f %.1f\n", (m - l) * 1000, (s - l - 1) * 1000 }'
}
row() { # <name> <bus address>
    local lines
    lines=$(for ((r = 0; r < rounds; r++)); do measure "$2"; done)
    printf '%-22s %16s %24s\n' "$1" "$(cut -d' ' -f1 <<<"$lines" | median)" "$(cut -d' ' -f2 <<<"$lines" | median)"
}
printf '%-22s %16s %24s\n' "session bus" "mapped (ms)" "first start late (ms)"
address=$(head -n1 "$work/address")
row "none" unix:path=/dev/null
row "healthy" "$address"
kill -STOP $bus_pid
row "stopped" "$address"
