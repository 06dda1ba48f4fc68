#!/bin/bash
# The countdown: programs start on time with their arguments, the program ends after the last one,
# and a real double-click on the window's margin cancels the rest.
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
scratch "$1" "$2"
start_x
log=$PWD/starts.log tool="$PWD/log me"
printf '#!/bin/sh\necho "$(date +%%s.%%N)$(printf " [%%s]" "$@")" >>%q\n' "$log" >"$tool" && chmod +x "$tool"

run() { # <path> <seconds> ...: the list; starts the program and waits for its window
    : >"$log" && : >app/Velkora.ini
    for ((i = 0; $# > 1; i++)); do
        printf '[%d]\nDATEI=%s\nZEIT=%s\n' "$i" "$1" "$2" >>app/Velkora.ini && shift 2
    done
    launch
    for _ in $(seq 2000); do # every 5 ms: the moment it appears is the schedule's zero
        window=$(xdotool search --onlyvisible --name '^Autostart$') && break
        sleep 0.005
    done
    mapped=$(date +%s.%N)
    check "the countdown window appears" test -n "$window"
}
# The starts as seconds after the window appeared, whole when within 0.3 s of a second.
starts() { awk -v m="$mapped" '{ d = $1 - m; r = int(d + 0.5); $1 = (d - r) ^ 2 <= 0.09 ? r : d; print }' "$log"; }

# A path with blanks, bare and quoted; a missing program between them is passed over.
run "$tool one" 2 "$PWD/missing" 1 "\"$tool\" 'two words'" 2
wait_end
check "the program ends with status 0" test $? -eq 0
end=$(date +%s.%N)
await test "$(wc -l <"$log")" -ge 2 # the last program may write after we ended
check "starts at 2 s with [one], at 5 s with [two words] (got: $(starts | paste -sd';'))" \
    test "$(starts)" = $'2 [one]\n5 [two words]'
check "the program ended within 1 s of the last start" within "$end" "$(tail -n1 "$log" | cut -d' ' -f1)" -1 1

run "$tool first" 1 "$tool second" 3
sleep 1.5
xdotool mousemove --window "$window" 3 3 click --repeat 2 --delay 80 1
wait_end
check "a double-click on the margin ends it with status 0" test $? -eq 0
sleep 3
check "only the first program was started" test "$(wc -l <"$log")" -eq 1
finish
