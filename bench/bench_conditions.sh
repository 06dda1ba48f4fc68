#!/usr/bin/env bash
# An entry that waits, under its own Xvfb with private buses and the stand-ins of
# tests/platform/watch_standin.py: the time from the tray coming to the entry's
# start (median and max over the runs), then, over 50 s in which an entry waits
# for a network that never comes, the program's CPU time and wake-ups against a
# bare Qt window with a one-second timer in the same run. Figures only.
# The started program is tests/platform/argv_probe, which notes when its main runs.
#   bench_conditions.sh <build folder> [runs]
set -u
build=$(realpath -- "${1:?usage: bench_conditions.sh <build folder> [runs]}")
runs=${2:-15}
exe=$build/Velkora bare=$build/bench/bare_ticker probe=$build/tests/platform/argv_probe
standin=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/platform" && pwd)/watch_standin.py
work=$(mktemp -d "${TMPDIR:-/tmp}/bench_conditions.XXXXXX") || exit 1
cd "$work" || exit 1
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$work"' EXIT
mkdir app && mkdir -m 0700 run && cp "$exe" app/Velkora || exit 1
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb ARGV_PROBE_OUT=$work/started
await() { local i; for ((i = 0; i < 400; i++)); do "$@" && return; sleep 0.025; done; false; }
mapped() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>display 2>/dev/null &
await test -s display || exit 1
DISPLAY=:$(<display)
export DISPLAY
for bus in session system; do
    dbus-daemon --session --nofork --print-address=3 3>"$bus.address" >/dev/null 2>&1 &
    await test -s "$bus.address" || exit 1
done
DBUS_SESSION_BUS_ADDRESS=$(<session.address) DBUS_SYSTEM_BUS_ADDRESS=$(<system.address)
export DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
mkfifo standin.in
/usr/bin/python3 "$standin" tray=0 nm=20 <standin.in >>standin.out &
exec 4>standin.in
await grep -qx ready standin.out || exit 1

# The tray comes 1.3 to 1.8 s after the window, while the entry (1 s) already waits. Both
# clocks are CLOCK_MONOTONIC: the stand-in's once its signals have left, the probe's in its main.
for ((i = 1; i <= runs; i++)); do
    printf '[0]\nDATEI=%s\nZEIT=1\nWARTEN_AUF=Infobereich\n' "$probe" >app/Velkora.ini
    rm -f started && echo tray=0 >&4 && await grep -q "^tray=0 " standin.out && : >standin.out
    app/Velkora 2>/dev/null &
    pid=$!
    await mapped '^Autostart$' && sleep "1.$((3 + RANDOM % 6))"
    echo tray=1 >&4
    await test -s started && await grep -q '^tray=1 ' standin.out
    awk -v s="$(awk '$1 == "started" { print $2 }' started)" \
        '$1 == "tray=1" { printf "%.3f\n", s / 1e6 - $2 * 1e3 }' standin.out >>latency
    wait "$pid"
done
sort -n latency | awk '{ v[NR] = $1 } END {
    printf "tray ready -> main of the started entry, %d runs: median %.2f ms, max %.2f ms\n", NR, v[int((NR + 1) / 2)], v[NR] }'

# CPU time (ns) and context switches of a process's threads so far.
cpu() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }'; }
printf '[0]\nDATEI=%s\nZEIT=1\nWARTEN_AUF=Netzwerk\nWARTEN_MAX=60\n' "$probe" >app/Velkora.ini
app/Velkora 2>/dev/null &
velkora=$!
"$bare" &
ticker=$!
await mapped '^Autostart$' && await mapped '^Bare ticker$' && sleep 3
read -r c0 s0 b0 t0 <<<"$(cpu $velkora) $(switches $velkora) $(cpu $ticker) $(switches $ticker)"
sleep 50
read -r c1 s1 b1 t1 <<<"$(cpu $velkora) $(switches $velkora) $(cpu $ticker) $(switches $ticker)"
kill "$ticker"
awk -v c="$((c1 - c0))" -v b="$((b1 - b0))" -v s="$((s1 - s0))" -v t="$((t1 - t0))" 'BEGIN {
    printf "50 s of an entry waiting for the network: CPU %.1f ms, bare Qt window with a 1 s timer %.1f ms (ratio %.2f)\n", c / 1e6, b / 1e6, c / b
    printf "wake-ups (context switches of all threads): %.2f a second, bare window %.2f a second\n", s / 50, t / 50
}'
wait "$velkora"
