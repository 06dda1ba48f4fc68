#!/bin/bash
# One save of list B over list A, killed or failed at each write, sync and rename, and cut short,
# through a link into another file system to a file of mode 0640 (another user's under root): the
# whole old or new file stays, byte for byte, with owner, mode and link; a failure leaves one log
# line and no temporary file, a kill a leftover that the next save removes once a minute old.
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
# Runs "$@" on the old file: sets rc and what the file holds.
save() {
    cp -p "$dir/old" "$real"
    "$@" 2>"$dir/err"
    rc=$? holds=torn
    cmp -s "$ini" "$dir/old" && holds=old
    cmp -s "$ini" "$dir/new" && holds=new
    [ -L "$ini" ] && [ "$(stat -L -c '%a %u:%g' "$ini")" = "640 $owner" ] || holds="$holds, $(stat -L -c '%a %u:%g' "$ini")"
}
# Only the folder's sync comes after the rename, and its failure leaves the new file in place.
failed() {
    logged=$(grep -c 'cannot save the list to .*: .*errno [0-9]' "$dir/err")
    [[ ($rc = 1 && $holds = old && $logged = 1) || ($rc = 0 && $holds = new) ]] && [ "$(temps)" = 0 ] ||
        fail "$1: status $rc, file $holds, $logged log lines, $(temps) temporary files"
}
for call in write fsync fdatasync rename renameat renameat2; do
    save strace -f -qq -o "$dir/trace" -e trace="$call" "$tool" "$ini" b
    for ((n = 1; n <= $(grep -c "$call(" "$dir/trace"); n++, points++)); do
        save strace -f -qq -o /dev/null -e inject="$call:signal=SIGKILL:when=$n" "$tool" "$ini" b
        [ $rc = 137 ] && [[ $holds =~ ^(old|new)$ ]] || fail "killed at $call $n: status $rc, file $holds"
        find "$far" -name '.real.ini.tmp-*' -exec touch -d '2 minutes ago' {} +
        touch "$far/.real.ini.tmp-young"
        "$tool" "$ini" b && cmp -s "$ini" "$dir/new" && [ "$(temps)" = 1 ] && rm "$far/.real.ini.tmp-young" ||
            fail "the save after a kill at $call $n: $(temps) temporary files, not just the young one"
        save strace -f -qq -o /dev/null -e inject="$call:error=$([ $call = write ] && echo ENOSPC || echo EIO):when=$n" "$tool" "$ini" b
        failed "$call $n failing"
    done
done
[ $points -ge 4 ] || fail "only $points calls to stop at: a save writes, syncs, renames, syncs the folder"
save bash -c 'trap "" XFSZ; ulimit -f 1; exec "$0" "$1" b' "$tool" "$ini"
failed "a short write"
echo "RESULT save_kill: $points calls of one save, each killed and each failed, and a short write: $failures failure(s)"
[ $failures = 0 ]
