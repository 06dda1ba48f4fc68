#!/bin/bash
# The real program natively on Wayland under its own headless weston: the countdown starts its
# entries on time and ends, the app id is the desktop file id, the configuration window maps.
# Usage: e2e_wayland.sh <Velkora executable> <scratch folder>
set -u
work=$2 app=$2/app/Velkora
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
rm -rf "$work" && mkdir -p "$work/app" && mkdir -m 0700 "$work/run" && cp "$1" "$app" || exit 1
printf '#!/bin/sh\ndate +%%s.%%N >>%q\n' "$work/starts" >"$work/stamp" && chmod +x "$work/stamp"
printf '[0]\nDATEI=%s\nZEIT=1\n[1]\nDATEI=%s\nZEIT=2\n' "$work/stamp" "$work/stamp" >"$app.ini"
export XDG_RUNTIME_DIR=$work/run WAYLAND_DISPLAY=velkora-e2e QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1
trap 'kill $(jobs -p) 2>/dev/null' EXIT
await() { local i; for ((i = 0; i < 200; i++)); do "$@" && return; sleep 0.05; done; false; }
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config \
    >"$work/weston.log" 2>&1 &
await test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || exit 1

check "the countdown ends by itself after its last entry" timeout 20 "$app" 2>"$work/countdown.log"
on_time() { mapfile -t t 2>/dev/null <"$work/starts" && [ ${#t[@]} = 2 ] &&
    awk "BEGIN { d = ${t[1]} - ${t[0]}; exit d < 1.7 || d > 2.3 }"; }
check "both entries started, the second 2 s after the first (+-0.3 s)" await on_time
check "the app id is the desktop file id" grep -qF "set_app_id(\"$VELKORA_APP_ID\")" "$work/countdown.log"

"$app" /config 2>"$work/config.log" &
maps() { grep -q 'set_title("Velkora")' "$1" && grep -qE 'wl_surface@[0-9]+\.attach\(wl_buffer@' "$1"; }
check "the configuration window maps" await maps "$work/config.log"
finish
