#!/bin/bash
# Starts the real program on hostile configuration files, in configuration
# mode and in automatic mode:
#   huge      50 MB (entries before and after a 50 MB section)
#   longline  lines of 1 MB (a 1 MB path, comment and name)
#   garbage   64 KB of random bytes, then two entries
#   noise     64 KB of random bytes only
#   long31    31 entries, path and name of 10,000 characters each
# Configuration mode must still run after a few seconds (then it is ended);
# automatic mode must end by itself with status 0, having started the marker
# entries in order, each about its waiting time after the one before. Neither
# mode may change the file.
# Usage: hostile_config.sh <Velkora executable> [work folder]
set -u
exe=${1:-${VELKORA_EXECUTABLE:-}}
[ -x "$exe" ] || { echo "usage: $0 <Velkora executable>"; exit 2; }
work=${2:-$(mktemp -d)}
rm -rf "$work"; mkdir -p "$work"
trap 'for f in "$work"/*/pid; do [ -f "$f" ] && kill -9 "$(cat "$f")" 2>/dev/null; done; rm -rf "$work"' EXIT
CONFIG_SECONDS=${CONFIG_SECONDS:-5}
# A start may be this late against the one before, in seconds.
TOLERANCE=${TOLERANCE:-0.75}

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

marker="$work/mark.sh"
cat >"$marker" <<EOF
#!/bin/sh
echo "\$1 \$(date +%s.%N)" >>"\$MARK_LOG"
EOF
chmod 755 "$marker"

repeat() { head -c "$2" /dev/zero | tr '\0' "$1"; }

make_ini() { # case file
    case $1 in
    huge)
        printf '[0]\nDATEI=%s h0\nZEIT=1\n[Fuell]\n' "$marker"
        yes 'schluessel = ein langer Wert mit Umlauten äöü und Blanks      ' | head -c 52428800
        printf '\n[1]\nDATEI=%s h1\nZEIT=2\n[2]\nDATEI=%s h2\nZEIT=1\n' "$marker" "$marker" ;;
    longline)
        printf '[0]\nDATEI='; repeat x 1048576; printf '\nZEIT=1\n; '; repeat c 1048576
        printf '\n[1]\nDATEI=%s l1\nZEIT=1\n[2]\nNAME=' "$marker"; repeat n 1048576
        printf '\nDATEI=%s l2\nZEIT=2\n' "$marker" ;;
    garbage)
        head -c 65536 /dev/urandom | tr -d '['
        printf '\n[0]\nDATEI=%s g0\nZEIT=1\n[1]\nDATEI=%s g1\nZEIT=1\n' "$marker" "$marker" ;;
    noise)
        head -c 65536 /dev/urandom ;;
    long31)
        for i in $(seq 0 30); do
            head="$marker L$i "
            printf '[%d]\nDATEI=%s' "$i" "$head"; repeat x $((10000 - ${#head}))
            printf '\nName='; repeat N 10000; printf '\nZEIT=1\n'
        done ;;
    esac >"$2"
}

# Expected markers of each case, with each one's wait after the previous.
expected() {
    case $1 in
    huge) echo "h0:1 h1:2 h2:1" ;;
    longline) echo "l1:2 l2:2" ;;
    garbage) echo "g0:1 g1:1" ;;
    noise) echo "" ;;
    long31) for i in $(seq 0 30); do printf 'L%d:1 ' "$i"; done ;;
    esac
}

prepare() { # case mode -> folder
    local dir="$work/$1-$2"
    mkdir -p "$dir/runtime"; chmod 700 "$dir/runtime"
    cp "$exe" "$dir/Velkora"
    cp "$work/$1.ini" "$dir/Velkora.ini"
    echo "$dir"
}

# Runs the program in the background; its pid goes to <folder>/pid, the time
# it ended to <folder>/ended, its status is the subshell's.
launch() { # folder args...
    local dir=$1; shift
    (cd "$dir" || exit 2
     env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$dir/runtime" \
         DBUS_SESSION_BUS_ADDRESS=unix:path=/dev/null MARK_LOG="$dir/marks" ./Velkora "$@" \
         >"$dir/out" 2>&1 &
     echo $! >"$dir/pid"; wait $!; rc=$?; date +%s.%N >"$dir/ended"; exit $rc)
}

cases="huge longline garbage noise long31"
for c in $cases; do make_ini "$c" "$work/$c.ini"; done

declare -A pid started
for c in $cases; do
    for m in config auto; do
        d=$(prepare "$c" "$m")
        if [ $m = config ]; then launch "$d" /config & else launch "$d" & fi
        pid[$c-$m]=$!
        started[$c-$m]=$(date +%s.%N)
    done
done

sleep "$CONFIG_SECONDS"
for c in $cases; do
    p=${pid[$c-config]}
    if kill -0 "$p" 2>/dev/null; then
        kill -TERM "$(cat "$work/$c-config/pid")"; wait "$p" 2>/dev/null
        config="ran ${CONFIG_SECONDS}s"
    else
        wait "$p"; rc=$?
        config="ENDED early with status $rc"
        fail "$c: configuration mode ended by itself (status $rc): $(head -c 600 "$work/$c-config/out")"
    fi
    cmp -s "$work/$c.ini" "$work/$c-config/Velkora.ini" || fail "$c: configuration mode changed the file"

    # Automatic mode: one second per tick, so its own schedule plus a margin.
    p=${pid[$c-auto]}
    for _ in $(seq 1 180); do kill -0 "$p" 2>/dev/null || break; sleep 1; done
    if kill -0 "$p" 2>/dev/null; then
        kill -9 "$(cat "$work/$c-auto/pid")"; wait "$p" 2>/dev/null; rc=hung
    else
        wait "$p"; rc=$?
    fi
    d="$work/$c-auto"
    took=$(awk -v a="${started[$c-auto]}" -v b="$(cat "$d/ended" 2>/dev/null)" 'BEGIN { printf "%.1f", b - a }')
    [ "$rc" = 0 ] || fail "$c: automatic mode status $rc: $(head -c 600 "$d/out")"
    cmp -s "$work/$c.ini" "$d/Velkora.ini" || fail "$c: automatic mode changed the file"

    want=$(expected "$c")
    got=$(touch "$d/marks"; awk '{ printf "%s ", $1 }' "$d/marks")
    want_ids=$(for w in $want; do printf '%s ' "${w%%:*}"; done)
    [ "$got" = "$want_ids" ] || fail "$c: started [$got], expected [$want_ids]"
    deviation=$(awk -v want="$want" '
        BEGIN { n = split(want, w, " "); for (i = 1; i <= n; i++) { split(w[i], p, ":"); gap[i] = p[2] } }
        { t[NR] = $2 }
        END { worst = 0
              for (i = 2; i <= NR; i++) { d = t[i] - t[i-1] - gap[i]; if (d < 0) d = -d; if (d > worst) worst = d }
              printf "%.3f", worst }' "$d/marks")
    awk -v d="$deviation" -v t="$TOLERANCE" 'BEGIN { exit !(d > t) }' \
        && fail "$c: a start came ${deviation}s off its time"
    echo "RESULT hostile_config $c: config mode $config; auto mode status $rc after ~${took}s," \
         "started $(wc -l <"$d/marks")/$(echo $want | wc -w) markers in order, largest schedule" \
         "deviation ${deviation}s; file unchanged"
done

if [ $failures -eq 0 ]; then echo "PASSED hostile_config"; exit 0; fi
echo "FAILED hostile_config: $failures failure(s)"; exit 1
