#!/bin/bash
# The configuration window on a real display: drawn without an image plugin, carrying the program's
# icon, ended by a click on "Exit". The editing behind its buttons is tst_frmConfig's.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
start_x
printf '[0]\nDATEI=/usr/bin/true\nNAME=Wahr\nZEIT=5\n' >app/Velkora.ini

launch /config
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1)
check "the window appears with the caption Velkora" test -n "$wid" || finish
xdotool sleep 0.5 windowfocus "$wid" 2>/dev/null
# Its icons were drawn at build time: shown, it has loaded no image format plugin nor the SVG library.
check "the window is drawn without an image plugin or QtSvg" unmapped 'imageformats|libQt6Svg'
has_icon() { xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (32 x 32)'; } # given after the first picture
check "the window carries the program's icon" await has_icon
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" 532 $((216 + HEIGHT - 302)) click 1 # Exit, below the menu bar
wait_end
check "Exit ends the program with status 0, the list kept" \
    test "$?:$(tr -d '\r' <app/Velkora.ini | grep -c '^DATEI=/usr/bin/true$')" = 0:1
finish
