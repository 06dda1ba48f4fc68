#!/bin/bash
# The real program natively on Wayland under its own headless weston: the countdown ends by itself
# (e2e_bus times its start there), the app id is the desktop file id, the configuration window maps.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
printf '[0]\nDATEI=/bin/true\nZEIT=1\n' >app/Velkora.ini
export WAYLAND_DISPLAY=velkora-e2e QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config \
    >weston.log 2>&1 &
await test -S "run/$WAYLAND_DISPLAY" || exit 1

check "the countdown ends by itself after its entry" timeout 20 app/Velkora 2>countdown.log
check "the app id is the desktop file id" grep -qF "set_app_id(\"$VELKORA_APP_ID\")" countdown.log

launch /config
maps() { grep -q 'set_title("Velkora")' "$1" && grep -qE 'wl_surface@[0-9]+\.attach\(wl_buffer@' "$1"; }
check "the configuration window maps" await maps app.log
finish
