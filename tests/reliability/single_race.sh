#!/bin/bash
# The single-copy guard, real processes: in every setup ten copies start at once, one becomes first
# and answers the others, then a later copy's token (any text) reaches it; a stopped first copy is
# reported and comes forward once it runs again. As root with $RELIABILITY_FULL, another user
# reaching a socket opened by mistake gets no answer.
set -u
probe=$1 rounds=${RELIABILITY_ROUNDS:-1} work=$(mktemp -d)
stop() { jobs -p | xargs -r kill -KILL; wait; } 2>/dev/null
trap 'exec 2>/dev/null; stop; rm -rf "$work"' EXIT
token=$'Größe – a b\n100% %41' encoded=Gr%C3%B6%C3%9Fe%20%E2%80%93%20a%20b%0A100%25%20%2541
await() { local i; for ((i = 0; i < 400; i++)); do "$@" && return; sleep 0.05; done; false; }
lines() { [ "$(cat "${@:3}" 2>/dev/null | grep -c "$2")" = "$1" ]; } # <count> <pattern> <files...>
peer() { perl -MIO::Socket::UNIX -e '$SIG{PIPE} = "IGNORE";
    my $s = IO::Socket::UNIX->new(Peer => $ARGV[0]) or die "no connection: $!\n"; print "connected\n";
    print $s $ARGV[1]; sysread($s, my $answer, 8); print "answer: $answer\n"' "$@"; }

round() { # <setup>: true when it went as it must
    local dir=$work/$1-$r c first pids=() answer socket=$work/$1-$r/Velkora-probe.socket
    stop; mkdir -m 0700 "$dir" || return
    if [[ $1 == killed || $1 == old-* ]]; then
        "$probe" "$dir" >/dev/null &
        await test -S "$socket" && kill -KILL $! && wait $! 2>/dev/null
        local old=$dir/Velkora-probe.${1#old-} # a file that names no one, from long ago
        [[ $1 == old-* ]] && rm "$old" && printf x >"$old" && touch -d @0 "$old"
    fi
    for c in {0..9}; do "$probe" "$dir" >"$dir/out$c" & pids[c]=$!; done
    await lines 9 '^second ok' "$dir"/out{0..9} && lines 1 '^first' "$dir"/out* || return
    first=$(grep -l '^first' "$dir"/out*) && await lines 9 '^asked $' "$first" || return
    local text=; [ "$1" = garbage-peer ] && text=$'hello\n' # else the peer keeps silent
    [[ $1 == *-peer ]] && { (peer "$socket" "$text" >"$dir/peer" &) && await grep -q connected "$dir/peer"; }
    [ "$1" = stopped ] && kill -STOP "${pids[${first##*out}]}"
    answer=$(XDG_ACTIVATION_TOKEN=$token timeout 10 "$probe" "$dir")
    kill -CONT "${pids[${first##*out}]}"
    [ "$answer" = "second $([ "$1" = stopped ] && echo unanswered || echo ok)" ] &&
        await grep -qx "asked $encoded" "$first"
}

good=0 setups=(clean killed old-lock old-socket silent-peer garbage-peer stopped)
for ((r = 0; r < rounds; r++)); do
    for s in "${setups[@]}"; do round "$s" && good=$((good + 1)) || echo "FAIL round $r: $s"; done
done
echo "RESULT single_race: rounds=$rounds setups-as-they-must=$good/$((rounds * ${#setups[@]}))"
[ "$good" = $((rounds * ${#setups[@]})) ] || exit 1
[ -n "${RELIABILITY_FULL:-}" ] && [ "$(id -u)" = 0 ] || exit 0
dir=$work/other socket=$work/other/Velkora-probe.socket && mkdir -m 0700 "$dir"
"$probe" "$dir" >"$dir/first" &
await test -S "$socket" && chmod 711 "$work" "$dir" && chmod 777 "$socket"
other=$(setpriv --reuid=nobody --regid=nogroup --clear-groups bash -c \
    "$(declare -f peer); peer $socket $'activate x\n'" 2>&1)
chmod 700 "$work" "$dir" && ours=$(XDG_ACTIVATION_TOKEN=ours timeout 10 "$probe" "$dir")
echo "RESULT single_otheruser: nobody [${other//$'\n'/ }] our later copy [$ours]"
[ "$other" = $'connected\nanswer: ' ] && [ "$ours" = "second ok" ] &&
    await grep -qx "asked ours" "$dir/first" && ! grep -q "asked x" "$dir/first"
