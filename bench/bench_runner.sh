#!/usr/bin/env bash
# The countdown window against two other ways of showing one, under one Xvfb:
# launch to window mapped (median of 3), peak RSS, CPU time per one-second
# tick, and instructions for a run that opens the window and ends after one
# tick (callgrind; skipped with BENCH_NO_CALLGRIND=1). Prints figures only.
#
# usage: bench_runner.sh <Velkora executable> [scratch folder]
set -u

if [[ "${1:-}" != --inner ]]; then
    if [[ $# -lt 1 ]]; then
        echo "usage: $0 <Velkora executable> [scratch folder]" >&2
        exit 2
    fi
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" --inner "$1" "${2:-}"
fi
exe=$2
work=$3
if [[ -z $work ]]; then # a folder of our own, gone with the run
    work=$(mktemp -d) || exit 1
    trap 'rm -rf -- "$work"' EXIT
fi
rm -rf -- "$work"
mkdir -p -- "$work/app" || exit 1
cp -- "$exe" "$work/app/Velkora" || exit 1
mkdir -m 0700 -- "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null QT_QPA_PLATFORM=xcb
python=$(python3 -c 'import sys, tkinter; print(sys.executable)' 2>/dev/null)
have_zenity=$(command -v zenity)

now() { date +%s.%N; }
# CPU time of a process and its threads so far, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }

cat >"$work/tk.py" <<'EOF'
import sys, tkinter
ticks = int(sys.argv[1])
root = tkinter.Tk()
root.title(sys.argv[2])
root.geometry("312x62")
rest = [60]
line = tkinter.Label(root, text="Starte in (60 sek.)")
line.pack()
tkinter.Label(root, text="Bench", font=("Arial", 11, "bold")).pack()
def tick():
    rest[0] -= 1
    line.configure(text="Starte in (%d sek. )" % rest[0])
    if ticks and 60 - rest[0] >= ticks:
        root.destroy()
    else:
        root.after(1000, tick)
root.after(1000, tick)
root.mainloop()
EOF

# A countdown fed to zenity once a second, as a shell script would do it.
zenity_countdown() {
    local ticks=$1
    { for ((n = 60; n > 60 - ticks || ticks == 0; n--)); do echo "# Starte in ($n sek. )"; sleep 1; done; } |
        zenity --progress --no-cancel --auto-close --title "$2" --text "Starte in (60 sek.)" 2>/dev/null
}

velkora_ini() { # velkora_ini <seconds|empty>
    if [[ -n $1 ]]; then
        printf '[0]\nDATEI=/bin/true\nNAME=Bench\nZEIT=%s\n' "$1" >"$work/app/Velkora.ini"
    else
        : >"$work/app/Velkora.ini"
    fi
}

# measure <title> <command...>: launch to mapped, then CPU over 5 ticks and peak RSS.
measure() {
    local title=$1
    shift
    local start pid wid mapped cpu0 cpu1
    start=$(now)
    "$@" &
    pid=$!
    wid=
    for ((i = 0; i < 2000 && ${#wid} == 0; i++)); do
        wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1)
        [[ -n $wid ]] || sleep 0.002
    done
    mapped=$(now)
    # zenity runs as the last part of a pipeline: find the window's process.
    local wpid
    wpid=$(xdotool getwindowpid "$wid" 2>/dev/null || echo "$pid")
    sleep 0.5
    cpu0=$(cpu_ns "$wpid")
    sleep 5
    cpu1=$(cpu_ns "$wpid")
    local hwm
    hwm=$(awk '/VmHWM/ { print $2 }' /proc/"$wpid"/status 2>/dev/null)
    kill "$wpid" "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    awk -v a="$mapped" -v b="$start" -v c0="$cpu0" -v c1="$cpu1" -v h="$hwm" \
        'BEGIN { printf "%.1f %d %.3f\n", (a - b) * 1000, h, (c1 - c0) / 5 / 1e6 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# instructions <command...>: callgrind's total for a run that ends by itself.
instructions() {
    local out=$work/callgrind.out
    rm -f "$out"
    timeout 300 valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>&1
    awk '/^(summary|totals):/ { print $2; exit }' "$out" 2>/dev/null
}

row() { # row <name> <measure lines>
    local name=$1 lines=$2
    local launch rss tick
    launch=$(awk '{ print $1 }' <<<"$lines" | median)
    rss=$(awk '{ print $2 }' <<<"$lines" | median)
    tick=$(awk '{ print $3 }' <<<"$lines" | median)
    printf '%-22s %12s %10s %14s %16s\n' "$name" "$launch" "$rss" "$tick" "${3:--}"
}

printf '%-22s %12s %10s %14s %16s\n' "window" "mapped (ms)" "RSS (KiB)" "CPU/tick (ms)" "instr. 1 tick"

velkora_ini 60
lines=$(for _ in 1 2 3; do measure Autostart "$work/app/Velkora"; done)
instr=-
if [[ -z ${BENCH_NO_CALLGRIND:-} ]] && command -v valgrind >/dev/null; then
    velkora_ini ""
    instr=$(instructions "$work/app/Velkora")
fi
row "Velkora (Qt)" "$lines" "$instr"

if [[ -n $python ]]; then
    lines=$(for _ in 1 2 3; do measure "Tk countdown" "$python" "$work/tk.py" 0 "Tk countdown"; done)
    instr=-
    if [[ -z ${BENCH_NO_CALLGRIND:-} ]] && command -v valgrind >/dev/null; then
        instr=$(instructions "$python" "$work/tk.py" 1 "Tk countdown")
    fi
    row "python3 Tk" "$lines" "$instr"
else
    echo "python3 Tk: not available"
fi

if [[ -n $have_zenity ]]; then
    lines=$(for _ in 1 2 3; do measure "Zenity countdown" zenity_countdown 0 "Zenity countdown"; done)
    row "zenity --progress" "$lines" "-"
else
    echo "zenity: not installed"
fi
echo "RSS is the peak resident set (VmHWM); CPU per tick is the process's CPU time over 5 ticks / 5;"
echo "instructions run to the end of a window that closes after its first tick."
