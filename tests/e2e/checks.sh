# shellcheck shell=bash
# Sourced by the end-to-end scripts: a scratch folder, a private display server, the program in
# the background, and checks that print PASS or FAIL; the script fails when any check failed.
set -u
failed=0
check() { # <description> <command...>
    "${@:2}" && echo "PASS: $1" && return
    echo "FAIL: $1"
    failed=$((failed + 1))
    return 1
}
finish() { exit $((failed > 0)); }
await() { # <command...>: true as soon as the command is, false after 10 s
    local i
    for ((i = 0; i < 200; i++)); do "$@" && return; sleep 0.05; done
    false
}

# scratch <executable> <folder> [name]: a fresh working folder with the executable as app/<name>
# and a private runtime folder; what the script starts in the background ends with it.
scratch() {
    app=app/${3:-Velkora}
    rm -rf -- "$2" && mkdir -p -- "$2/app" && mkdir -m 0700 -- "$2/run" && cp -- "$1" "$2/$app" &&
        cd -- "$2" || exit 1
    export XDG_RUNTIME_DIR=$PWD/run
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
    trap 'kill $(jobs -p) 2>/dev/null; wait' EXIT
}
# start_x [openbox]: -displayfd lets the server pick a free display, so runs side by side never
# race for a number, and -noreset keeps it up between clients.
start_x() {
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>display 2>/dev/null &
    await test -s display && DISPLAY=:$(<display) || exit 1
    export DISPLAY QT_QPA_PLATFORM=xcb
    [ $# = 0 ] && return
    openbox --sm-disable --startup "touch '$PWD/managing'" >/dev/null 2>&1 &
    await test -e managing || exit 1
}

launch() { # <arguments>
    "$app" "$@" >>app.log 2>&1 &
    app_pid=$!
}
unmapped() { ! grep -q -E "$1" "/proc/$app_pid/maps"; } # <pattern>: no such file in the program
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_end() { # the program's status once it has ended, 124 when it still runs after 10 s
    await ended || return 124
    wait "$app_pid"
}
# True when a - b lies within [lo, hi] seconds.
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { d = a - b; exit !(d >= lo && d <= hi) }'; }
