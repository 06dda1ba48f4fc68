# shellcheck shell=bash
# Sourced by the end-to-end scripts: counts checks and ends with the line
# "N passed, N failed", failing when any check failed.
passed=0
failed=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS: $what"
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

# start_x <executable> <scratch folder>: a fresh scratch folder with the executable
# copied to app/Velkora, and a private X server that lives until the script ends.
# -noreset keeps it up between clients; -displayfd lets it pick a free display
# itself, so runs side by side never race for a number.
start_x() {
    work=$2
    app_pid=
    rm -rf -- "$work"
    mkdir -p -- "$work/app" && mkdir -m 0700 -- "$work/runtime" && cp -- "$1" "$work/app/Velkora" || exit 1
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    trap 'kill $app_pid $xvfb_pid 2>/dev/null; wait' EXIT
    timeout 10 sh -c 'until [ -s "$1" ]; do sleep 0.1; done' _ "$work/display"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
}

launch() { # launch <arguments>: the copied program, in the background
    "$work/app/Velkora" "$@" >>"$work/app.log" 2>&1 &
    app_pid=$!
}
running() { kill -0 "$app_pid" 2>/dev/null; }
wait_end() { # wait_end <whole seconds>: the program's status once it has ended; 124 while it runs
    local i rc
    for ((i = 0; i < $1 * 100; i++)); do running && sleep 0.01; done
    running && return 124
    wait "$app_pid"
    rc=$?
    app_pid= # gone: never signal whatever reuses its number
    return "$rc"
}

now() { date +%s.%N; }
# True when a - b lies within [lo, hi] seconds.
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { d = a - b; exit !(d >= lo && d <= hi) }'; }
