#!/bin/bash
# Entries that wait, on private buses with stand-ins for the tray watcher and NetworkManager: one
# starts within 100 ms of its tray coming, one at its seconds plus its longest wait when the
# network never comes.
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
DATEI=$PWD/stamp network
Name=network
ZEIT=1
WARTEN_AUF=Netzwerk
WARTEN_MAX=3
INI
launch
mapped() { xdotool search --onlyvisible --name '^Autostart$' >/dev/null; }
check "the countdown window appears" await mapped
sleep 2.5 # the tray entry has waited 1.5 s by now
echo tray=1 >&4
await grep -q '^tray=1 ' standin.out
came=$(awk -v o="$offset" '$1 == "tray=1" { printf "%.6f", $2 + o }' standin.out)
await test -n "$(at network)"
wait_end
check "the program ends with status 0" test $? -eq 0
check "the tray entry started within 100 ms of the tray (after $(awk -v a="$(at tray)" -v b="$came" 'BEGIN { printf "%.0f", (a - b) * 1000 }') ms)" \
    within "$(at tray)" "$came" 0 0.1
check "the network entry started at its 1 s plus its longest wait of 3 s" \
    within "$(at network)" "$(at tray)" 3.7 4.3
check "each wait's end is on record" test "$(grep -cE '"tray": ready after [0-9.]+ s of waiting|"network": still waiting for Netzwerk after 3 s' app.log)" = 2
finish
