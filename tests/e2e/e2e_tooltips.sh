#!/bin/bash
# A tooltip shows on a real hover under X11 and stays: its native window, replaced at every show, is
# no window of ours destroyed from outside. The countdown's tooltip text is tst_frmAuto's.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
start_x

tooltip() { # a window of ours of the tooltip type is shown
    local w
    for w in $(xdotool search --onlyvisible --class Velkora); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP && return
    done
    false
}
hover() { # <caption> <client height> <x> <y>: rests the pointer there in the window, made active
    local wid
    wid=$(timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$wid")" # above the client area: a menu bar
    xdotool windowfocus --sync "$wid" mousemove --window "$wid" "$3" $(($4 + HEIGHT - $2)) \
        sleep 0.2 mousemove_relative 1 0
    await tooltip && sleep 1 && tooltip
}

launch /config
check "the seconds box shows its tooltip" hover '^Velkora$' 302 164 84
# shellcheck disable=SC2154 # launch sets app_pid
kill "$app_pid" && wait_end
finish
