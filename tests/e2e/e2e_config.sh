#!/bin/bash
# The configuration window, driven as a person would: select a line, move it up, type a new entry
# with umlauts, add it, "Exit"; the list file beside the executable must then hold the new order.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
start_x
printf '[0]\nDATEI=/usr/bin/true\nNAME=Wahr\nZEIT=5\n[1]\nDATEI=/usr/bin/false\nNAME=Falsch\nZEIT=20\n' >app/Velkora.ini
# A German keyboard, as our users have: umlauts are then real keys, which xdotool types reliably
# (for others it remaps a spare key, and that races).
setxkbmap de

launch /config
wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1)
check "the window appears with the caption Velkora" test -n "$wid" || finish
xdotool sleep 0.5 windowfocus "$wid" 2>/dev/null
# Its icons were drawn at build time: shown, it has loaded no image format plugin nor the SVG library.
check "the window is drawn without an image plugin or QtSvg" unmapped 'imageformats|libQt6Svg'
has_icon() { xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (32 x 32)'; } # given after the first picture
check "the window carries the program's icon" await has_icon
eval "$(xdotool getwindowgeometry --shell "$wid")"
menu=$((HEIGHT - 302)) # the client area is 302 px high; above it is the menu bar

click() { # <left> <top> <width> <height> [text]: a control given in twips, the text typed in
    xdotool mousemove --window "$wid" $((($1 + $3 / 2) / 15)) $((($2 + $4 / 2) / 15 + menu)) click 1
    sleep 0.3
    [ $# = 4 ] || xdotool key --clearmodifiers ctrl+a type --delay 30 -- "$5"
}

xdotool mousemove --window "$wid" 44 $((1560 / 15 + menu + 10)) click 1 key Down # line 0, then 1
sleep 0.3
click 5040 2040 1095 735 # Hoch: "Falsch" moves to the top and stays selected
# Small umlauts only: xdotool 3.2016 types a capital one as its small letter.
click 1320 120 3495 375 "/opt/Spiele/überflieger"
click 1320 600 3495 375 "Größe ärger"
click 2040 1080 855 375 "15"
click 6240 120 1095 735 # hinzufügen: above the selected line 0
click 7440 2880 1095 735 # Exit
wait_end
check "Exit ends the program with status 0" test $? -eq 0

# The filled sections' values in order, as UTF-8; keys in capitals (their spelling is the INI layer's).
actual=$(tr -d '\r' <app/Velkora.ini | awk -F= '/^\[/ { s = $0 " " } /=./ { printf "%s%s=%s ", s, toupper($1), substr($0, length($1) + 2); s = "" }')
check "the file holds the new entry first, then the moved order (got: $actual)" test "$actual" = \
    "[0] DATEI=/opt/Spiele/überflieger NAME=Größe ärger ZEIT=15 [1] DATEI=/usr/bin/false NAME=Falsch ZEIT=20 [2] DATEI=/usr/bin/true NAME=Wahr ZEIT=5 "
finish
