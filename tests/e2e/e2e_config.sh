#!/bin/bash
# The configuration window on a real display: drawn without an image plugin, carrying the program's
# icon. The editing behind its buttons is tst_frmConfig's; "Exit" by a real click, e2e_conditions'.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
start_x
printf '[0]\nDATEI=/usr/bin/true\nNAME=Wahr\nZEIT=5\n' >app/Velkora.ini

launch /config
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1)
check "the window appears with the caption Velkora" test -n "$wid" || finish
check "the window is drawn without an image plugin or QtSvg" unmapped 'imageformats|libQt6Svg'
has_icon() { xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (32 x 32)'; } # given after the first picture
check "the window carries the program's icon" await has_icon
finish
