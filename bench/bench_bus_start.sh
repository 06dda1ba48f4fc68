#!/usr/bin/env bash
# The countdown's start with no session bus, a healthy one and one that never answers (a private
# dbus-daemon, stopped), under one Xvfb with the xcb platform: launch to window mapped, and how
# late its first entry (due 1 s after the window) starts after the launch; medians of 7. Prints
# figures only. usage: bench_bus_start.sh <Velkora executable> [rounds]
set -u
if [[ "${1:-}" != --inner ]]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" --inner "${1:?usage: $0 <Velkora executable> [rounds]}" "${2:-7}"
fi
work=$(mktemp -d) && trap 'kill -CONT $bus_pid; kill $bus_pid; rm -rf -- "$work"' EXIT
mkdir -p "$work/app" && mkdir -m 0700 "$work/run" && cp -- "$2" "$work/app/Velkora" || exit 1
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
conf=$(dirname "$0")/../tests/data/desktop/bus.conf
dbus-daemon --config-file="$conf" --nofork --address="unix:path=$work/bus" --print-address=3 3>"$work/address" 2>/dev/null &
bus_pid=$!
while [ ! -s "$work/address" ]; do sleep 0.01; done
printf '#!/bin/sh\ndate +%%s.%%N >%s/started\n' "$work" >"$work/stamp" && chmod +x "$work/stamp"
printf '[0]\nDATEI=%s/stamp\nZEIT=1\n' "$work" >"$work/app/Velkora.ini"

median() { sort -g | awk '{ v[NR] = $1 } END { m = v[int((NR + 1) / 2)]; if (m == "never") print m; else printf "%7.1f", m }'; }
measure() { # <bus address>: "<ms to mapped> <ms from launch to the first start, less 1 s>"
    rm -f "$work/started"
    local launched mapped
    launched=$(date +%s.%N)
    DBUS_SESSION_BUS_ADDRESS=$1 "$work/app/Velkora" 2>/dev/null &
    local app=$! i
    for ((i = 0; i < 3000; i++)); do
        xdotool search --onlyvisible --name '^Autostart$' >/dev/null 2>&1 && break
        sleep 0.002
    done
    mapped=$(date +%s.%N)
    # Not shown within about 20 s: counted as never.
    ((i < 3000)) && wait $app || { kill -9 $app; echo "never never"; return; }
    awk -v l="$launched" -v m="$mapped" -v s="$(cat "$work/started")" \
        'BEGIN { printf "%.1f %.1f\n", (m - l) * 1000, (s - l - 1) * 1000 }'
}
row() { # <name> <bus address>
    local lines
    lines=$(for ((i = 0; i < $3; i++)); do measure "$2"; done)
    printf '%-22s %16s %24s\n' "$1" "$(cut -d' ' -f1 <<<"$lines" | median)" "$(cut -d' ' -f2 <<<"$lines" | median)"
}
printf '%-22s %16s %24s\n' "session bus" "mapped (ms)" "first start late (ms)"
address=$(head -n1 "$work/address")
row "none" unix:path=/dev/null "$3"
row "healthy" "$address" "$3"
kill -STOP $bus_pid
row "stopped" "$address" "$3"
