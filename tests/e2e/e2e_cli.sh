#!/bin/bash
# The program at its edges. --help answers on standard output before any display is looked for; without one, "/?" prints its text and every other mode ends with one
# line and status 1. SIGTERM, SIGINT and SIGHUP end every mode as closing its window does: status
# 0, nothing more started, nothing saved, no lock or socket left; a save under way is finished.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
set -f # "/?" is no pattern
ini=app/Velkora.ini
mkfifo "$ini" # whoever reads the list now hangs

nobody=9 # a display number no server answers on
while [ -e /tmp/.X11-unix/X$nobody ] || grep -q "X11-unix/X$nobody\$" /proc/net/unix; do ((nobody++)); done
usage="Zum Konfigurieren starten Sie das Programm mit /config"
nodisplay="velkora.session: no display found: could not connect to display"
while IFS=';' read -r args status out err; do
    lines=$((${#err} > 0))
    for display in "-u DISPLAY" "DISPLAY=:$nobody"; do
        # shellcheck disable=SC2086 # the words of the row are the arguments
        timeout 10 env -u WAYLAND_DISPLAY $display app/Velkora $args >out 2>err
        check "'$args' with $display: status $status, its text, no lock" test \
            "$?;$(head -n1 out);$(cut -c1-${#nodisplay} err);$(wc -l <err);$(ls run)" = "$status;$out;$err;$lines;"
    done
done <<EOF
--help;0;Aufruf: Velkora [/config | /? | -h | --help | --version];
/?;0;$usage;
;1;;$nodisplay
EOF
check "/? without a display prints the usage message whole" \
    test "$(env -u DISPLAY app/Velkora /?)" = "$usage"$'\nz.B. : Velkora.exe /config'
check "--help names the list" grep -qxF "Die Liste: $PWD/$ini" <(app/Velkora --help)

rm "$ini" && start_x
printf '#!/bin/sh\ntouch "%s/started"\n' "$PWD" >app/mark && chmod +x app/mark
printf '[0]\nDATEI=%s\nZEIT=2\n' "$PWD/app/mark" >"$ini"
for signal in TERM INT HUP; do
    for mode in "" /config /?; do
        touch -d @1 "$ini"
        # A background job of a script ignores SIGINT, which the program keeps.
        env --default-signal=INT app/Velkora ${mode:+"$mode"} >app.log 2>&1 &
        app_pid=$!
        await xdotool search --onlyvisible --name '^(Autostart|Velkora)$' >/dev/null
        sleep 0.3 && kill -s $signal $app_pid
        wait_end
        check "SIG$signal in '$mode': status 0, nothing saved, no lock, one line" \
            test "$?:$(stat -c %Y "$ini"):$(ls run):$(grep -c "SIG$signal received" app.log)" = 0:1::1
        cat app.log >>all.log
    done
done
sleep 2
check "nothing was started after the signal" test ! -e started
check "as root, and only then, each countdown says so" \
    test "$(grep -c 'running as root' all.log)" = $(($(id -u) == 0 ? 3 : 0))

# The signal comes as the save replaces the file: the whole new list is there, and the end is clean.
printf '[0]\nDATEI=/bin/true\nZEIT=5\n' >"$ini"
ASAN_OPTIONS=detect_leaks=0 strace -qq -o /dev/null -e trace=rename \
    -e inject=rename:signal=SIGTERM:when=1 app/Velkora /config >app.log 2>&1 &
app_pid=$!
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1) && sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" 532 $((216 + HEIGHT - 302)) click 1 # Exit
wait_end
check "SIGTERM during Exit's save: status 0, all 31 sections saved, no lock" \
    test "$?:$(grep -c '^\[' "$ini"):$(ls run)" = 0:31:
finish
