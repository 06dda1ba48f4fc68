#!/bin/bash
# Entries that wait, on private buses with stand-ins for the tray watcher and NetworkManager: one
# starts within 100 ms of its tray coming, one at its seconds plus its longest wait when the
# network never comes; a switched-off entry is passed over. Then in the configuration window a
# line's check box and "Hoch" move an entry's keys with it, and "Exit" writes them there only.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
standin=$(cd "$(dirname "${BASH_SOURCE[0]}")/../platform" && pwd)/watch_standin.py
scratch "$1" "$2"
start_x
for bus in session system; do
    dbus-daemon --session --nofork --print-address=3 3>"$bus.address" >/dev/null 2>&1 &
    await test -s "$bus.address" || exit 1
done
DBUS_SESSION_BUS_ADDRESS=$(<session.address) DBUS_SYSTEM_BUS_ADDRESS=$(<system.address)
export DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
mkfifo standin.in
/usr/bin/python3 "$standin" tray=0 nm=20 <standin.in >standin.out 2>standin.err &
exec 4>standin.in
check "the stand-ins take their names" await grep -qx ready standin.out || finish
# The stand-in tells CLOCK_MONOTONIC; the started programs write the wall clock.
offset=$(/usr/bin/python3 -c 'import time; print(time.time() - time.monotonic())')
printf '#!/bin/sh\necho "$1 $(date +%%s.%%N)" >>%q\n' "$PWD/starts" >stamp && chmod +x stamp
at() { awk -v w="$1" '$1 == w { print $2 }' starts; }

cat >app/Velkora.ini <<INI
[0]
DATEI=$PWD/stamp tray
Name=tray
ZEIT=1
WARTEN_AUF=infobereich
WARTEN_MAX=20
[1]
DATEI=$PWD/stamp off
ZEIT=1
AKTIV=0
[2]
DATEI=$PWD/stamp network
Name=network
ZEIT=1
WARTEN_AUF=Netzwerk
WARTEN_MAX=3
[3]
DATEI=$PWD/stamp last
ZEIT=2
INI
launch
mapped() { xdotool search --onlyvisible --name '^Autostart$' >/dev/null; }
check "the countdown window appears" await mapped
sleep 2.5 # the tray entry has waited 1.5 s by now
echo tray=1 >&4
await grep -q '^tray=1 ' standin.out
came=$(awk -v o="$offset" '$1 == "tray=1" { printf "%.6f", $2 + o }' standin.out)
await test -n "$(at last)"
wait_end
check "the program ends with status 0" test $? -eq 0
check "the tray entry started within 100 ms of the tray (after $(awk -v a="$(at tray)" -v b="$came" 'BEGIN { printf "%.0f", (a - b) * 1000 }') ms)" \
    within "$(at tray)" "$came" 0 0.1
check "the switched-off entry was passed over" test -z "$(at off)"
check "the network entry started at its 1 s plus its longest wait of 3 s" \
    within "$(at network)" "$(at tray)" 3.7 4.3
check "the last entry's seconds counted from that start" within "$(at last)" "$(at network)" 1.7 2.3
check "each wait's end is on record" test "$(grep -cE '"tray": ready after [0-9.]+ s of waiting|"network": still waiting for Netzwerk after 3 s' app.log)" = 2

# In the configuration window: line 1 switched off with its check box (the space bar), then "Hoch"
# on it, then "Exit".
printf '[0]\nDATEI=/usr/bin/true\nName=A\nZEIT=5\nWARTEN_AUF=Netzwerk\n[1]\nDATEI=/usr/bin/false\nName=B\nZEIT=7\n' >app/Velkora.ini
launch /config
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1)
check "the configuration window appears" test -n "$wid" || finish
xdotool sleep 0.5 windowfocus "$wid" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu=$((HEIGHT - 302)) # the client area is 302 px high; above it is the menu bar
xdotool mousemove --window "$wid" 100 $((1560 / 15 + menu + 12)) click 1 sleep 0.3 key Down sleep 0.3 key space
sleep 0.3
xdotool mousemove --window "$wid" $(((5040 + 547) / 15)) $(((2040 + 367) / 15 + menu)) click 1
sleep 0.3
xdotool mousemove --window "$wid" $(((7440 + 547) / 15)) $(((2880 + 367) / 15 + menu)) click 1
wait_end
keys="$?:$(tr -d '\r' <app/Velkora.ini | awk -F= '/^\[/ { s = $0 } /^(DATEI|AKTIV|WARTEN_AUF)=./ { printf "%s%s ", s, $0 }')"
check "Exit ends with status 0; B, switched off, went up with its AKTIV; A's WARTEN_AUF went down with A (got: $keys)" \
    test "$keys" = "0:[0]DATEI=/usr/bin/false [0]AKTIV=0 [1]DATEI=/usr/bin/true [1]WARTEN_AUF=Netzwerk "
finish
