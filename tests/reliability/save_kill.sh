#!/bin/bash
# Kills a process that saves the program table over and over, at random
# moments, and checks the file after every kill: every key of sections 0-30
# holds, whole, either table A's or table B's value; in the order of writing,
# the keys form one run of one table followed by one run of the other (every
# write is atomic and the save goes front to back); a section that is not ours
# and a comment are kept; the mode 0640 is kept; anything else in the folder is
# a recognisable temporary file (a killed writer cannot remove its own). A
# final normal save must leave no temporary file at all.
# Usage: save_kill.sh <rel_tool> [kills] [seed]
#   kills: also $RELIABILITY_KILLS; folder: $RELIABILITY_DIR, else /dev/shm
# (tmpfs for speed: a kill stops the process, not the disk, so the file
# system's own durability is not what is tested here).
set -u
tool=$1
kills=${RELIABILITY_KILLS:-${2:-200}}
seed=${3:-$RANDOM}
RANDOM=$seed
base=${RELIABILITY_DIR:-/dev/shm}
[ -w "$base" ] || base=${TMPDIR:-/tmp}
dir=$(mktemp -d "$base/velkora-savekill-XXXXXX") || exit 2
trap 'rm -rf "$dir"' EXIT
ini=$dir/Velkora.ini
foreign=$'; Kommentar bleibt\n[Andere]\nbehalten = ja\n'
printf '%s' "$foreign" >"$ini" && chmod 640 "$ini" || exit 2
exec {nap}<> <(:) # read -t on it waits without starting a process

problems=()
# Sets why (empty when the file is fine), mixed (a save was cut between two
# writes) and temps (temporary files found, then removed).
check() {
    why='' mixed=0 temps=0
    bad() { [ -n "$why" ] || why=$1; }
    local labels name
    labels=$("$tool" check "$ini") || bad "a key (?) holds neither table's value: $labels"
    cmp -s -n ${#foreign} <(printf '%s' "$foreign") "$ini" || bad "foreign section or comment lost"
    [ "$(stat -c %a "$ini")" = 640 ] || bad "mode not kept"
    name=$(LC_ALL=C grep -a -m1 -v -E '^$|^\[|^;|=' "$ini") && bad "stray line: ${name:0:60}"
    [ -z "$(tail -c1 "$ini")" ] || bad "no final line end"
    [[ $labels =~ ^(a*b*|b*a*)$ ]] || bad "keys not in write order: $labels"
    [[ $labels == *a* && $labels == *b* ]] && mixed=1
    while IFS= read -r name; do
        if [[ $name =~ ^\.Velkora\.ini\.tmp-[0-9a-z]+$ ]]; then
            temps=$((temps + 1)) && rm -f "$dir/$name"
        elif [ "$name" != Velkora.ini ]; then
            bad "unexpected file $name"
        fi
    done < <(ls -A "$dir")
}

# How long one save takes here: the kills are spread over two of them.
read -r _ save_ns < <("$tool" save "$ini")
span_us=$((2 * (save_ns > 1000000 ? save_ns : 1000000) / 1000))
good=0 mixed_total=0 temps_total=0 survived=0
for ((n = 0; n < kills; n++)); do
    coproc SAVER { exec "$tool" save "$ini" loop; }
    pid=$SAVER_PID
    if ! read -r -t 60 -u "${SAVER[0]}" _; then
        problems+=("kill $n: saver did not start")
    fi
    us=$(((RANDOM << 15 | RANDOM) % (span_us + 1)))
    read -r -t "$((us / 1000000)).$(printf %06d $((us % 1000000)))" -u $nap
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    [ $? = 137 ] || survived=$((survived + 1))
    check
    [ -z "$why" ] && good=$((good + 1)) || problems+=("kill $n (after $us us): $why")
    mixed_total=$((mixed_total + mixed)) temps_total=$((temps_total + temps))
done

# A save that runs to its end leaves nothing behind.
"$tool" save "$ini" >/dev/null
rc=$?
check
[ -z "$why" ] && [ $temps = 0 ] && [ $rc = 0 ] ||
    problems+=("normal save: status $rc, ${why:-file fine}, $temps temporary files left")
[ $survived = 0 ] || problems+=("$survived savers ended before the kill")

printf 'RESULT save_kill: folder=%s seed=%s kills=%d file-intact=%d/%d cut-between-writes=%d ' \
    "$base" "$seed" "$kills" $good "$kills" $mixed_total
printf 'stray-temps-after-kill=%d (all named .Velkora.ini.tmp-*, removed) save-time=%d.%d ms ' \
    $temps_total $((save_ns / 1000000)) $((save_ns / 100000 % 10))
echo "normal-save-temps=$temps"
for p in "${problems[@]:0:20}"; do echo "FAIL $p"; done
[ ${#problems[@]} = 0 ]
