#!/bin/bash
# The real program as "Tool" under its own Xvfb and openbox. Each of its windows, minimized, is
# brought back and active by a second copy that ends at once, silent, having read nothing (its
# configuration file is then a FIFO). A window destroyed by another X client ends the program
# as its close would, without saving, leaving no lock or socket. Usage: e2e_single.sh <exe> <dir>
set -u
work=$2 app=$2/app/Tool ini=$2/app/Tool.ini
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
rm -rf "$work" && mkdir -p "$work/app" "$work/home" && mkdir -m 0700 "$work/run" || exit 1
cp "$1" "$app" && printf '[0]\nDATEI=/bin/true\nNAME=Wahr\nZEIT=60\n' >"$ini" || exit 1
export HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null
trap 'kill $(jobs -p) 2>/dev/null' EXIT
await() { local i; for ((i = 0; i < 200; i++)); do "$@" && return; sleep 0.05; done; false; }
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
await test -s "$work/display" && DISPLAY=:$(<"$work/display") && export DISPLAY || exit 1
openbox --sm-disable --startup "touch '$work/managing'" >/dev/null 2>&1 &
await test -e "$work/managing" || exit 1

run() { rm -f "$work/status" && { "$app" "$@" 2>>"$work/first.err"; echo $? >"$work/status"; } & }
window() { await xdotool search --onlyvisible --name "$1" >"$work/found" && head -n1 "$work/found"; }
iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q Iconic; }
active() { ! iconic "$1" && [ "$(xdotool getactivewindow)" = "$1" ]; }
ended() { [ "$(cat "$work/status" 2>/dev/null)" = 0 ] && ! compgen -G "$XDG_RUNTIME_DIR/Velkora-*"; }
forward() { # <window> <what>
    xdotool windowminimize "$1" && await iconic "$1"
    mv "$ini" "$ini.kept" && mkfifo "$ini"
    timeout 5 "$app" >"$work/second.out" 2>&1
    check "$2: a second copy ends at once, status 0, silent" test "$?:$(<"$work/second.out")" = 0:
    rm "$ini" && mv "$ini.kept" "$ini"
    check "$2: the minimized window comes back, active" await active "$1"
}
closed() { # <window> <what>
    touch -d @1 "$ini" && xdotool windowclose "$1"
    check "$2: destroyed from outside, the program ends, no lock left" await ended
    check "$2: nothing saved" test "$(stat -c %Y "$ini")" = 1
}

# Qt must not take the program's own arguments for its options (-reverse, -title).
run -reverse /c
countdown=$(window '^Autostart$')
check "-reverse /c is the countdown" test -n "$countdown"
forward "$countdown" countdown
closed "$countdown" countdown

run /config -title foo
config=$(window '^Tool$')
check "/config -title foo is the configuration window, captioned Tool" test -n "$config"
forward "$config" configuration
# Menu "?" (right of "Optionen"), "Info zu Velkora"; a click while openbox still moves the
# window may go astray.
info() { xdotool mousemove --window "$config" 10 10 click 1 sleep 0.3 key Right Down Return sleep 1; }
for _ in {1..5}; do about=$(xdotool search --onlyvisible --name '^Info zu Velkora$') && break; info; done
forward "$about" information
closed "$config" "configuration (under the information window)"
finish
