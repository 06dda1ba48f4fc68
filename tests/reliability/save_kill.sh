#!/bin/bash
# One save of list B over list A, killed or failed at each write, sync, link and rename, and cut
# short, through a link into another file system to a file of mode 0640 (another user's under
# root): the whole old or new file stays, byte for byte, with owner, mode and link. A failure
# leaves one log line, the message box's German reason and no temporary file. A kill leaves no
# temporary file but between linkat and rename, and the next save removes that once a minute old.
# Three ways: an unnamed temporary file (O_TMPFILE), a named one where O_TMPFILE is refused, and
# the file written in place where its owner cannot be given back (fchown refused).
set -u
dir=$(mktemp -d) && far=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d) || exit 2
trap 'rm -rf "$dir" "$far"' EXIT
umask 022
export ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0 # LeakSanitizer cannot work under strace
tool=$1 ini=$dir/Velkora.ini real=$far/real.ini owner=$(id -u):$(id -g)
[ "$owner" = 0:0 ] && owner=65534:65534
printf '; Kommentar bleibt\n[Andere]\nbehalten = ja\n' >"$real" && chmod 640 "$real" &&
    chown "$owner" "$real" && ln -s "$real" "$ini" && "$tool" "$ini" a &&
    cp -p "$real" "$dir/old" && "$tool" "$ini" b && cp -p "$real" "$dir/new" || exit 2
failures=0 points=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
temps() { find "$far" -name '.real.ini.tmp-*' | wc -l; }
"$tool" "$dir/new.ini" a && [ "$(stat -c %a "$dir/new.ini")" = 644 ] || fail "a new file's mode"
# Runs "$@" on the old file: sets rc, what the file holds and whether it is still the same inode.
save() {
    cp -p "$dir/old" "$real" # over the file itself: its inode stays
    local inode && inode=$(stat -c %i "$real")
    "$@" >"$dir/out" 2>"$dir/err"
    rc=$? holds=torn
    cmp -s "$ini" "$dir/old" && holds=old
    cmp -s "$ini" "$dir/new" && holds=new
    [ -L "$ini" ] && [ "$(stat -L -c '%a %u:%g' "$ini")" = "640 $owner" ] || holds="$holds, $(stat -L -c '%a %u:%g' "$ini")"
    [ "$(stat -c %i "$real")" = "$inode" ] && inplace=yes || inplace=no
}
# failed <what> <German reason>: after an error. Only the folder's sync comes after the rename, and
# its failure leaves the new file in place.
failed() {
    logged=$(grep -c 'cannot save the list to .*: .*errno [0-9]' "$dir/err")
    { [[ $rc = 1 && $holds = old && $logged = 1 ]] && [ "$(tail -n 1 "$dir/out")" = "$2." ] ||
        [[ $rc = 0 && $holds = new ]]; } && [ "$(temps)" = 0 ] ||
        fail "$1: status $rc, file $holds, $logged log lines, $(temps) temporary files, \"$(tail -n 1 "$dir/out")\""
}
reason() { case $1 in ENOSPC) echo 'Kein Platz mehr auf dem Datenträger' ;; EIO) echo 'Ein-/Ausgabefehler' ;; esac; }

save strace -f -qq -o "$dir/trace" -e trace=openat "$tool" "$ini" b
unnamed=$(grep 'openat(' "$dir/trace" | grep -n O_TMPFILE | cut -d: -f1)
[ -n "$unnamed" ] || fail "no O_TMPFILE: the file system here has none"
save strace -f -qq -o /dev/null -e inject=openat:error=EIO:when="$unnamed" "$tool" "$ini" b
failed "O_TMPFILE failing" "$(reason EIO)"

declare -A how=([unnamed]="" [named]="-e inject=openat:error=EOPNOTSUPP:when=$unnamed"
    [in-place]="-e inject=fchown:error=EPERM")
declare -A calls=([unnamed]="write fsync fdatasync linkat rename renameat renameat2"
    [named]="write fsync fdatasync rename renameat renameat2" [in-place]="fallocate write ftruncate fsync fdatasync")
for way in unnamed named in-place; do
    read -ra extra <<<"${how[$way]}"
    save strace -f -qq -o "$dir/trace" "${extra[@]}" "$tool" "$ini" b
    [ $holds = new ] && [ $inplace = "$([ $way = in-place ] && echo yes || echo no)" ] ||
        fail "$way: file $holds, in place: $inplace"
    for call in ${calls[$way]}; do
        for ((n = 1; n <= $(grep -cE "^[0-9]+ +$call\(" "$dir/trace"); n++, points++)); do
            save strace -f -qq -o /dev/null "${extra[@]}" -e inject="$call:signal=SIGKILL:when=$n" "$tool" "$ini" b
            # B is longer than A: killed before the truncation, the file in place holds all of B.
            [ $rc = 137 ] && [[ $holds =~ ^(old|new)$ ]] || fail "$way: killed at $call $n: status $rc, file $holds"
            left=$(temps) allowed=0
            [[ $way = named || ($way = unnamed && $call = rename*) ]] && allowed=1
            [ "$left" -le $allowed ] && [[ $way = named || $left = "$allowed" ]] ||
                fail "$way: killed at $call $n: $left temporary files"
            find "$far" -name '.real.ini.tmp-*' -exec touch -d '2 minutes ago' {} +
            touch "$far/.real.ini.tmp-young"
            "$tool" "$ini" b && cmp -s "$ini" "$dir/new" && [ "$(temps)" = 1 ] && rm "$far/.real.ini.tmp-young" ||
                fail "the save after a kill at $call $n: $(temps) temporary files, not just the young one"
            error=$([[ $call = write || $call = fallocate ]] && echo ENOSPC || echo EIO)
            save strace -f -qq -o /dev/null "${extra[@]}" -e inject="$call:error=$error:when=$n" "$tool" "$ini" b
            failed "$way: $call $n failing" "$(reason $error)"
        done
    done
done
[ $points -ge 12 ] || fail "only $points calls to stop at: a save creates, writes, syncs, links, renames, syncs the folder"
save bash -c 'trap "" XFSZ; ulimit -f 1; exec "$0" "$1" b' "$tool" "$ini"
failed "a short write" "Datei zu groß"
echo "RESULT save_kill: $points calls of one save, each killed and each failed, and a short write: $failures failure(s)"
[ $failures = 0 ]
