#!/bin/bash
# The configuration window, driven as a person would under a private Xvfb:
# select a line, move it up, type a new entry with umlauts, add it, "Exit";
# then the INI file beside the executable must hold the new order.
#   $1  the built Velkora executable    $2  a scratch folder
# VELKORA_SCREENSHOT=<file.png> also saves a picture of the freshly opened window.
set -u
exe=${1:?executable}
work=${2:?scratch folder}

source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

rm -rf "$work"
mkdir -p "$work/app" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$work/app/Velkora"
ini="$work/app/Velkora.ini"
cat >"$ini" <<'EOF'
[0]
DATEI=/usr/bin/true
NAME=Wahr
ZEIT=5
[1]
DATEI=/usr/bin/false
NAME=Falsch
ZEIT=20
[2]
DATEI=/bin/sleep
NAME=Schlaf
ZEIT=30
EOF

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=:$(cat "$work/display")
export XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=/dev/null}
export QT_QPA_PLATFORM=xcb
# A German keyboard, as our users have: umlauts are then real keys, which
# xdotool types reliably (for others it remaps a spare key, and that races).
setxkbmap de
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

"$work/app/Velkora" /config >"$work/app.log" 2>&1 &
app=$!

wid=$(timeout 30 xdotool search --sync --name '^Velkora$' | head -n 1)
check "the window appears with the caption Velkora" test -n "$wid"
[ -n "$wid" ] || finish
sleep 0.5
xdotool windowfocus "$wid" 2>/dev/null
sleep 0.2

# The client area is 609 x 302 below the menu bar; what is left above it is the menu bar.
eval "$(xdotool getwindowgeometry --shell "$wid")"
check "client area width 609 px" test "$WIDTH" -eq 609
menu=$((HEIGHT - 302))
check "a menu bar above the client area" test "$menu" -gt 10 -a "$menu" -lt 60

[ -n "${VELKORA_SCREENSHOT:-}" ] && import -window "$wid" "$VELKORA_SCREENSHOT"

# Centre of a control given in twips (left, top, width, height), in window pixels.
click() {
    local x=$((($1 + $3 / 2) / 15)) y=$((($2 + $4 / 2) / 15 + menu))
    xdotool mousemove --window "$wid" "$x" "$y" click 1
    sleep 0.3
}
type_into() { # type_into <left> <top> <width> <height> <text>
    click "$1" "$2" "$3" "$4"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 30 -- "$5"
    sleep 0.3
}

# The first line of the list (its top 150 twips in), then one line down by keyboard.
xdotool mousemove --window "$wid" $((360 / 15 + 20)) $((1560 / 15 + menu + 10)) click 1
sleep 0.3
xdotool key Down
sleep 0.3
click 5040 2040 1095 735 # Hoch: "Falsch" moves to the top and stays selected

# Small umlauts only: xdotool 3.2016 types a capital one as its small letter.
type_into 1320 120 3495 375 "/opt/Spiele/überflieger"
type_into 1320 600 3495 375 "Größe ärger"
type_into 2040 1080 855 375 "15"
click 6240 120 1095 735 # hinzufügen: above the selected line 0
click 7440 2880 1095 735 # Exit

for _ in $(seq 100); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
check "Exit ends the program" bash -c "! kill -0 $app 2>/dev/null"
wait "$app"
status=$?
app=
check "the program ends with status 0 (got $status)" test "$status" -eq 0

# Section|KEY|value for every value in the file, keys in capitals: the key's
# spelling and the blank lines are the INI layer's business.
actual=$(awk -F= '
    /^\[/ { section = substr($0, 2, index($0, "]") - 2); next }
    /^[^;].*=/ { key = toupper($1); value = substr($0, length($1) + 2); print section "|" key "|" value }
' "$ini" | tr -d '\r')
expected=$(
    printf '%s\n' "0|DATEI|/opt/Spiele/überflieger" "0|NAME|Größe ärger" "0|ZEIT|15" \
        "1|DATEI|/usr/bin/false" "1|NAME|Falsch" "1|ZEIT|20" \
        "2|DATEI|/usr/bin/true" "2|NAME|Wahr" "2|ZEIT|5" \
        "3|DATEI|/bin/sleep" "3|NAME|Schlaf" "3|ZEIT|30"
    for i in $(seq 4 30); do printf '%s\n' "$i|DATEI|" "$i|NAME|" "$i|ZEIT|"; done
)
check "the file holds the new order and the new entry" test "$actual" = "$expected"
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2
    cat "$work/app.log" >&2
fi
check "the file is UTF-8" bash -c "iconv -f UTF-8 -t UTF-8 '$ini' >/dev/null 2>&1"

finish
