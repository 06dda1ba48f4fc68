#!/bin/bash
# The program as "Tool" under openbox. Each of its windows, minimized, is brought back and active
# by a second copy that ends at once, silent, having read nothing (its list is then a FIFO). A
# window destroyed by another X client ends the program as its close would, without saving,
# leaving no lock or socket.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2" Tool
start_x openbox
ini=app/Tool.ini
printf '[0]\nDATEI=/bin/true\nNAME=Wahr\nZEIT=60\n' >"$ini"

window() { await xdotool search --onlyvisible --name "$1" >found && head -n1 found; }
iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q Iconic; }
active() { ! iconic "$1" && [ "$(xdotool getactivewindow)" = "$1" ]; }
forward() { # <window> <what>
    xdotool windowminimize "$1" && await iconic "$1"
    mv "$ini" "$ini.kept" && mkfifo "$ini"
    timeout 5 app/Tool >second.out 2>&1
    check "$2: a second copy ends at once, status 0, silent" test "$?:$(<second.out)" = 0:
    rm "$ini" && mv "$ini.kept" "$ini"
    check "$2: the minimized window comes back, active" await active "$1"
}
closed() { # <window> <what>
    touch -d @1 "$ini" && xdotool windowclose "$1"
    wait_end
    check "$2: destroyed from outside, the program ends, status 0, nothing saved, no lock left" \
        test "$?:$(stat -c %Y "$ini"):$(ls run)" = 0:1:
}

# Qt must not take the program's own arguments for its options (-reverse, -title).
launch -reverse /c
countdown=$(window '^Autostart$')
check "-reverse /c is the countdown" test -n "$countdown"
forward "$countdown" countdown
closed "$countdown" countdown

launch /config -title foo
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
