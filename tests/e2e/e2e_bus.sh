#!/bin/bash
# A session bus that takes connections and never answers (a private dbus-daemon, stopped) costs
# the countdown only a short wait, under X11 through xcb, where Qt's accessibility bridge connects
# from the first label on, and natively on Wayland: the entry starts on time, with the bus's real
# address, and one line says why. The configuration window, whose menu bar looks for a global
# menu on the bus, appears too. A healthy bus is used without a word.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
dbus-daemon --config-file="$VELKORA_TEST_DATA/desktop/bus.conf" --nofork --address="unix:path=$PWD/bus" \
    --print-address=3 3>address 2>/dev/null &
bus_pid=$!
trap 'kill -CONT $bus_pid; kill $(jobs -p) 2>/dev/null; wait' EXIT # a stopped daemon ignores TERM
await test -s address || exit 1
DBUS_SESSION_BUS_ADDRESS=$(head -n1 address) && export DBUS_SESSION_BUS_ADDRESS
printf '#!/bin/sh\necho "$(date +%%s.%%N) $DBUS_SESSION_BUS_ADDRESS" >%q\n' "$PWD/started" >app/stamp
chmod +x app/stamp && printf '[0]\nDATEI=%s\nZEIT=1\n' "$PWD/app/stamp" >app/Velkora.ini

countdown() { # <where> <lines that say the bus is silent>
    rm -f started && launched=$(date +%s.%N)
    check "$1: the countdown ends by itself" timeout 20 app/Velkora 2>app.log
    await test -s started && read -r at address <started
    check "$1: its entry starts within 3 s of the launch, with the bus's own address" \
        test "$(within "${at:-0}" "$launched" 1 3 && echo "$address")" = "$DBUS_SESSION_BUS_ADDRESS"
    check "$1: $2 line(s) about a silent bus" test "$(grep -c 'bus .* does not answer' app.log)" = "$2"
}

kill -STOP $bus_pid
start_x
countdown "X11, silent bus" 1
launch /config
check "X11, silent bus: the configuration window appears" \
    await xdotool search --onlyvisible --name '^Velkora$'
# shellcheck disable=SC2154 # launch sets app_pid
kill "$app_pid" && wait_end

weston --backend=headless-backend.so --socket=velkora-bus --idle-time=0 --no-config >weston.log 2>&1 &
await test -S run/velkora-bus || exit 1
WAYLAND_DISPLAY=velkora-bus QT_QPA_PLATFORM=wayland countdown "Wayland, silent bus" 1
kill -CONT $bus_pid
countdown "X11, healthy bus" 0
finish
