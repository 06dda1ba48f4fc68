#!/usr/bin/env bash
# The automatic mode of the real executable under Xvfb: programs start in
# order and on time, with their arguments, the program ends after the last
# one, and a double-click on the window's margin (not on a text line) stops
# the rest.
#
# $1: the built executable; $2: a scratch folder of this test's own.
set -u

if [[ "${1:-}" != --inner ]]; then
    if [[ $# -lt 2 ]]; then
        echo "usage: $0 <Velkora executable> <scratch folder>" >&2
        exit 2
    fi
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" --inner "$@"
fi
shift
exe=$1
work=$2

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
now() { date +%s.%N; }
# True when a - b lies within [lo, hi] (floating point).
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { d = a - b; exit !(d >= lo && d <= hi) }'; }

rm -rf -- "$work"
mkdir -p -- "$work/app" "$work/bin" "$work/my tools" || exit 1
cp -- "$exe" "$work/app/Velkora" || exit 1
ini=$work/app/Velkora.ini
log=$work/starts.log

mkdir -m 0700 -- "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null
export QT_QPA_PLATFORM=xcb

# Each started program logs when it ran, its own name and its arguments.
for script in "$work/bin/logger" "$work/my tools/log script.sh"; do
    cat >"$script" <<EOF
#!/bin/sh
t=\$(date +%s.%N)
{ printf '%s %s' "\$t" "\${0##*/}"; for a in "\$@"; do printf ' [%s]' "\$a"; done; printf '\n'; } >>$(printf '%q' "$log")
EOF
    chmod 0755 "$script"
done

app_pid=
cleanup() { [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null; }
trap cleanup EXIT

# start_app: runs Velkora in automatic mode; sets app_pid, window id and the
# moment its countdown window was mapped (polled every few milliseconds;
# the countdown's timer starts just before the window is shown).
start_app() {
    : >"$log"
    launched=$(now)
    "$work/app/Velkora" &
    app_pid=$!
    window=
    local deadline
    deadline=$(awk -v t="$(now)" 'BEGIN { printf "%.3f", t + 10 }')
    while [[ -z $window ]] && within "$deadline" "$(now)" 0 1e9; do
        window=$(xdotool search --onlyvisible --name '^Autostart$' 2>/dev/null | head -n1)
        [[ -n $window ]] || sleep 0.005
    done
    mapped=$(now)
    echo "INFO: window mapped $(awk -v a="$mapped" -v b="$launched" 'BEGIN { printf "%.3f", a - b }') s after launch"
}

running() { [[ -e /proc/$app_pid ]] && [[ $(awk '{ print $3 }' "/proc/$app_pid/stat" 2>/dev/null) != Z ]]; }

# wait_exit <seconds>: waits for the program to end; sets exited (the moment).
wait_exit() {
    local deadline
    deadline=$(awk -v t="$(now)" -v s="$1" 'BEGIN { printf "%.3f", t + s }')
    while running && within "$deadline" "$(now)" 0 1e9; do sleep 0.01; done
    exited=$(now)
    echo "INFO: program gone $(awk -v a="$exited" -v b="$mapped" 'BEGIN { printf "%.3f", a - b }') s after the window was mapped"
    if running; then
        return 1
    fi
    wait "$app_pid"
    local rc=$?
    app_pid=
    return "$rc"
}

log_field() { sed -n "${1}p" "$log" | cut -d' ' -f1; }   # timestamp of line n
log_rest() { sed -n "${1}p" "$log" | cut -d' ' -f2-; }   # program and arguments of line n

# Run 1: four entries, the second of which cannot be started.
cat >"$ini" <<EOF
[0]
DATEI=$work/bin/logger one
NAME=Erstes Programm
ZEIT=2
[1]
DATEI=$work/does not exist/program
NAME=Fehlt
ZEIT=1
[2]
DATEI=$work/my tools/log script.sh arg1 "two words"
NAME=Mit Leerzeichen
ZEIT=2
[3]
DATEI="$work/bin/logger" three
NAME=Drittes
ZEIT=1
EOF

start_app
check "countdown window appears" test -n "$window"
if [[ -n $window ]]; then
    geometry=$(xwininfo -id "$window")
    check "client area 312 x 62" \
        grep -qzE 'Width: 312.*Height: 62' <<<"$geometry"
    hints=$(xprop -id "$window" WM_NORMAL_HINTS _NET_WM_STATE 2>&1)
    check "position left to the window manager" \
        bash -c '! grep -qE "(user|program) specified location" <<<"$1"' _ "$hints"
    check "not kept on top" bash -c '! grep -q _NET_WM_STATE_ABOVE <<<"$1"' _ "$hints"
fi
wait_exit 12
rc=$?
check "program ends with status 0" test "$rc" -eq 0

# The last program may still be writing its line when we have already ended.
for _ in $(seq 100); do
    [[ $(wc -l <"$log") -ge 3 ]] && break
    sleep 0.02
done
check "three programs started" test "$(wc -l <"$log")" -eq 3
check "first: logger [one]" test "$(log_rest 1)" = "logger [one]"
check "second: path with blanks, arguments split" \
    test "$(log_rest 2)" = "log script.sh [arg1] [two words]"
check "third: quoted path" test "$(log_rest 3)" = "logger [three]"
due=(2 5 6)
for i in 1 2 3; do
    t=$(log_field "$i")
    if [[ -n $t ]]; then
        offset=$(awk -v a="$t" -v b="$mapped" -v d="${due[i - 1]}" 'BEGIN { printf "%+.3f", a - b - d }')
        check "start $i at ${due[i - 1]} s after the window appeared (off by $offset s)" \
            within "$t" "$mapped" "$(awk -v d="${due[i - 1]}" 'BEGIN { print d - 0.3 }')" \
            "$(awk -v d="${due[i - 1]}" 'BEGIN { print d + 0.3 }')"
    else
        check "start $i logged" false
    fi
done
last=$(log_field 3)
if [[ -n $last ]]; then
    check "program ended within 1 s of the last start" within "$exited" "$last" -1 1
fi

# Run 2: a double-click on a text line does nothing, one on the margin stops
# the rest.
cat >"$ini" <<EOF
[0]
DATEI=$work/bin/logger r2-first
NAME=Erstes
ZEIT=1
[1]
DATEI=$work/bin/logger r2-second
NAME=Zweites
ZEIT=4
EOF

start_app
check "countdown window appears again" test -n "$window"
if [[ -n $window ]]; then
    sleep 1.4
    check "first entry started" test "$(log_rest 1)" = "logger [r2-first]"
    xdotool mousemove --window "$window" 156 44 click --repeat 2 --delay 80 1
    sleep 0.6
    check "double-click on the name line leaves the window open" running
    xdotool mousemove --window "$window" 3 3 click --repeat 2 --delay 80 1
    wait_exit 1.5
    rc=$?
    check "double-click on the margin ends the program (status 0)" test "$rc" -eq 0
    # The second entry would have been due 5 s after the window appeared.
    remaining=$(awk -v m="$mapped" -v t="$(now)" 'BEGIN { r = m + 5.5 - t; printf "%.3f", (r > 0 ? r : 0) }')
    sleep "$remaining"
    check "nothing started after the cancel" test "$(wc -l <"$log")" -eq 1
fi

finish
