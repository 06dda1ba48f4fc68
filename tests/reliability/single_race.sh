#!/bin/bash
# The single-copy guard under races, kills and another user, with real
# processes (tests/platform/single_probe).
#   single_race.sh <single_probe> race [rounds] [copies]
#       copies released at one moment, per round (rounds: also $RELIABILITY_ROUNDS)
#   single_race.sh <single_probe> killed [times]
#       the first copy SIGKILLed, a new one started (100 times with $RELIABILITY_FULL)
#   single_race.sh <single_probe> otheruser
#       another user attacks our copy (root only; exit 77 otherwise)
set -u
probe=$1 mode=$2
key=velkora-rel title='Velkora Ä' encoded='Velkora%20%C3%84'
dir=$(mktemp -d) scratch=$(mktemp -d) # both 0700
trap 'kill -KILL $(jobs -p) 2>/dev/null; rm -rf "$dir" "$scratch"' EXIT
exec {nap}<> <(:) # read -t on it waits without starting a process
nap() { read -r -t "$1" -u $nap; }
micros() { echo "${EPOCHREALTIME//[!0-9]/}"; }
lines() { [ -f "$1" ] && wc -l <"$1" || echo 0; }
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Starts a copy (sets cpid) and waits up to 20 s for its first line (sets line).
start_copy() { # output-file log [lifetime ms]
    "$probe" "$dir" "$key" "$title" "$2" "${3:-600000}" >"$1" &
    cpid=$! line=
    local i
    for ((i = 0; i < 4000; i++)); do
        [ -s "$1" ] && break
        kill -0 $cpid 2>/dev/null || break
        nap 0.005
    done
    read -r line <"$1"
}

race() {
    local rounds=${RELIABILITY_ROUNDS:-${1:-20}} copies=${2:-20}
    local good=0 asked=0 delivered=0 answered=0 slowest=0 round c p running firsts seconds logged ours
    for ((round = 0; round < rounds; round++)); do
        local log=$scratch/log-$round pids=()
        # Everyone waits at the gate, a pipe whose only writer ends at once.
        exec {gate}< <(exec sleep 600)
        local gate_pid=$!
        for ((c = 0; c < copies; c++)); do
            (read -r -u $gate; exec "$probe" "$dir" "$key" "$title" "$log" 600000 >"$scratch/out-$round-$c") &
            pids+=($!)
        done
        nap 0.05
        kill $gate_pid
        exec {gate}<&-
        # All but one end by themselves.
        for ((c = 0; c < 12000; c++)); do
            running=()
            for p in "${pids[@]}"; do kill -0 $p 2>/dev/null && running+=("$p"); done
            [ ${#running[@]} -le 1 ] && break
            nap 0.005
        done
        nap 0.02
        firsts=$(cat "$scratch"/out-$round-* | grep -c '^first ')
        seconds=$(cat "$scratch"/out-$round-* | grep -c '^second ')
        answered=$((answered + $(cat "$scratch"/out-$round-* | grep -c '^second ok ')))
        for c in $(cat "$scratch"/out-$round-* | sed -n 's/^second [a-z]* //p'); do
            [ "$c" -le $slowest ] || slowest=$c
        done
        asked=$((asked + copies - 1))
        logged=$(lines "$log") ours=$(grep -c -x -F "$encoded" "$log" 2>/dev/null)
        delivered=$((delivered + ${ours:-0}))
        if [ "$firsts" = 1 ] && [ "$seconds" = $((copies - 1)) ] && [ ${#running[@]} = 1 ] &&
            [ "$logged" = $((copies - 1)) ] && [ "${ours:-0}" = $((copies - 1)) ]; then
            good=$((good + 1))
        else
            fail "round $round: $firsts first, $seconds second, ${#running[@]} still running," \
                "$logged of $((copies - 1)) requests logged (${ours:-0} with our title)"
        fi
        # The first copy is killed: every other round the next one meets its
        # stale lock and socket, the others start clean.
        kill -KILL "${running[@]}" 2>/dev/null
        wait "${pids[@]}" 2>/dev/null
        [ $((round % 2)) = 1 ] && rm -f "$dir/$key.lock" "$dir/$key.socket"
    done
    echo "RESULT single_race: rounds=$rounds copies=$copies rounds-with-exactly-one-first=$good/$rounds" \
        "activations-logged-by-first=$delivered/$asked answered=$answered/$asked slowest-second=$slowest ms" \
        "(odd rounds start after a killed first copy)"
}

killed() {
    local times=$1 log=$scratch/log became=0 within=0 reached=0 slowest=0 n first t0 ms before
    [ -n "${RELIABILITY_FULL:-}" ] && times=100
    start_copy "$scratch/first" "$log"
    first=$cpid
    [[ $line == first\ * ]] || { fail "the very first copy did not become first: $line"; return; }
    for ((n = 0; n < times; n++)); do
        kill -KILL $first
        wait $first 2>/dev/null
        t0=$(micros)
        start_copy "$scratch/next-$n" "$log"
        ms=$((($(micros) - t0) / 1000))
        if [[ $line == first\ * ]]; then
            became=$((became + 1))
            [ $ms -ge 1000 ] || within=$((within + 1))
            [ $ms -le $slowest ] || slowest=$ms
        else
            fail "start $n after the kill: \"$line\""
        fi
        # The new first copy answers.
        first=$cpid before=$(lines "$log")
        start_copy "$scratch/asker-$n" "$log"
        wait $cpid
        [[ $line == "second ok "* ]] && [ "$(lines "$log")" = $((before + 1)) ] && reached=$((reached + 1)) ||
            fail "start $n: a later copy got \"$line\""
    done
    echo "RESULT single_killed: times=$times next-start-became-first=$became/$times within-1s=$within/$times" \
        "slowest=$slowest ms later-copy-reached-it=$reached/$times"
}

# What the other user runs, in perl (part of every Debian system) for the sockets.
connect_as() { # user-prefix... socket: tries to activate our copy
    "$@" perl -MIO::Socket::UNIX -e '
        $SIG{PIPE} = "IGNORE";
        my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $ARGV[0])
            or do { print "refused $!\n"; exit 0 };
        print $s "activate intruder\n";
        my $got = "";
        eval { local $SIG{ALRM} = sub { die }; alarm 3; sysread($s, $got, 16); alarm 0 };
        $got =~ s/\n/%0A/g;
        print "connected answer=", length($got) ? $got : "none", "\n";' "$socket"
}

other_user() {
    [ "$(id -u)" = 0 ] || { echo "SKIP single_other_user: needs root to act as another user"; exit 77; }
    id velkora-other >/dev/null 2>&1 || useradd -r -M -s /usr/sbin/nologin velkora-other
    id velkora-other >/dev/null 2>&1 ||
        { echo "SKIP single_other_user: cannot create the user velkora-other"; exit 77; }
    local as=(setpriv --reuid="$(id -u velkora-other)" --regid="$(id -g velkora-other)" --clear-groups --)
    local log=$scratch/log first c1 c2 c3 c4 case1 case2 case3 fine fine1 fine2 i
    socket=$dir/$key.socket
    export HOME=/
    chmod 777 "$scratch"
    start_copy "$scratch/first" "$log"
    first=$cpid
    [[ $line == first\ * ]] || { fail "our first copy: $line"; return; }
    our_copy_fine() { # after-what; sets fine
        local before
        before=$(lines "$log")
        start_copy "$scratch/asker" "$log"
        wait $cpid
        fine=yes
        kill -0 $first 2>/dev/null && [[ $line == "second ok "* ]] && [ "$(lines "$log")" = $((before + 1)) ] &&
            ! grep -q intruder "$log" && return
        fail "after $1: our copy $(kill -0 $first 2>/dev/null && echo runs || echo ended)," \
            "later copy \"$line\", log $(tr '\n' , <"$log")"
        fine=NO
    }

    # 1. Our folder as it is (0700): nothing of it can be reached.
    c1=$(connect_as "${as[@]}")
    c2=$("${as[@]}" perl -MIO::Socket::UNIX -e '
        my ($dir, $key) = @ARGV;
        print open(my $f, ">", "$dir/$key.lock") ? "lock written\n" : "lock $!\n";
        print unlink("$dir/$key.socket") ? "unlink-socket removed\n" : "unlink-socket $!\n";
        print IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => "$dir/squat.socket", Listen => 1)
            ? "bind bound\n" : "bind $!\n";' "$dir" "$key")
    c3=$("${as[@]}" env XDG_RUNTIME_DIR="$dir" "$probe" "$dir" "$key" fremd "$scratch/otherlog" 100 2>/dev/null)
    [[ $c1 == refused* && $c2 != *written* && $c2 != *removed* && $c2 != *bound* && $c3 != second* ]] &&
        case1=yes || case1=NO
    [ $case1 = yes ] || fail "private folder: connect \"$c1\", create \"$c2\", probe \"$c3\""
    our_copy_fine "attempts on the private folder"
    fine1=$fine

    # 2. The folder and socket opened up by mistake: the connection is made,
    #    but our copy must drop a peer of another user unanswered.
    chmod 711 "$dir" && chmod 777 "$socket"
    c4=$(connect_as "${as[@]}")
    chmod 700 "$dir"
    [[ $c4 == "connected answer=none" ]] && case2=yes || { case2=NO; fail "open socket: \"$c4\""; }
    our_copy_fine "a connection from another user"
    fine2=$fine

    # 3. A folder anyone may write: the other user squats our name with a lock
    #    naming a live process and a socket that answers every request. Our
    #    next copy must not believe it.
    kill -KILL $first
    wait $first 2>/dev/null
    chmod 777 "$dir"
    "${as[@]}" perl -MIO::Socket::UNIX -e '
        my ($dir, $key, $host) = @ARGV;
        $| = 1;
        unlink "$dir/$key.lock", "$dir/$key.socket";
        open(my $f, ">", "$dir/$key.lock") or die "lock: $!";
        print $f "$$\nsingle_probe\n$host\n";
        close $f;
        umask 0;
        my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => "$dir/$key.socket", Listen => 8)
            or die "bind: $!";
        print "squatting\n";
        while (my $c = $s->accept) { sysread($c, my $b, 256); print $c "ok\n"; print "answered\n"; close $c }' \
        "$dir" "$key" "$HOSTNAME" >"$scratch/squatter" &
    local squatter=$!
    for ((i = 0; i < 2000; i++)); do
        grep -q squatting "$scratch/squatter" && break
        nap 0.005
    done
    start_copy "$scratch/ours" "$log" 300
    wait $cpid
    nap 0.3
    kill -KILL $squatter
    wait $squatter 2>/dev/null
    grep -q '^squatting$' "$scratch/squatter" && [[ $line == first* ]] && ! grep -q answered "$scratch/squatter" &&
        case3=yes || case3=NO
    [ $case3 = yes ] || fail "squatted name: squatter said \"$(tr '\n' , <"$scratch/squatter")\", our copy \"$line\""
    echo "RESULT single_other_user: private folder unreachable=$case1 (connect: $c1)," \
        "open socket dropped unanswered=$case2, squatted name ignored=$case3," \
        "our copy unharmed=$([ "$fine1$fine2" = yesyes ] && echo yes || echo NO)"
}

case $mode in
race) race "${3:-20}" "${4:-20}" ;;
killed) killed "${3:-30}" ;;
otheruser) other_user ;;
*) echo "usage: $0 <single_probe> race [rounds] [copies] | killed [times] | otheruser" && exit 2 ;;
esac
[ $failures = 0 ]
