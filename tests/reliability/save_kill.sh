#!/bin/bash
# Saves list B over list A once for every write, fsync, fdatasync and rename
# the save makes, and stops it at that call: killed, or with the call failing
# (ENOSPC for a write, EIO for the others). Each time the file must be byte for
# byte the whole old or the whole new one, with its mode 0640 and the lines
# that are not the list. A failed save leaves the old file, no temporary file
# and one line on standard error; after a kill, the next save removes the
# leftover temporary file once it is a minute old.
# Usage: save_kill.sh <rel_tool>
set -u
tool=$1
command -v strace >/dev/null || { echo "SKIP save_kill: no strace"; exit 77; }
dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
ini=$dir/Velkora.ini
printf '; Kommentar bleibt\n[Andere]\nbehalten = ja\n' >"$ini" && chmod 640 "$ini" &&
    "$tool" save "$ini" a && cp -p "$ini" "$dir/old" && "$tool" save "$ini" b &&
    cp -p "$ini" "$dir/new" && grep -q '^\[Andere\]' "$dir/new" || exit 2
failures=0 points=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
temps() { find "$dir" -name '.Velkora.ini.tmp-*' | wc -l; }
# One save of B over A under strace -e inject=<$1>: sets rc and what the file holds.
save() {
    cp -p "$dir/old" "$ini"
    strace -f -qq -o /dev/null -e inject="$1" "$tool" save "$ini" b 2>"$dir/err"
    rc=$? holds=torn
    cmp -s "$ini" "$dir/old" && holds=old
    cmp -s "$ini" "$dir/new" && holds=new
    [ "$(stat -c %a "$ini")" = 640 ] || holds="$holds, mode $(stat -c %a "$ini")"
}
for call in write fsync fdatasync rename renameat renameat2; do
    cp -p "$dir/old" "$ini"
    strace -f -qq -o "$dir/trace" -e trace="$call" "$tool" save "$ini" b
    count=$(grep -c "$call(" "$dir/trace")
    for ((n = 1; n <= count; n++, points++)); do
        save "$call:signal=SIGKILL:when=$n"
        [ $rc = 137 ] && [[ $holds =~ ^(old|new)$ ]] || fail "killed at $call $n: status $rc, file $holds"
        find "$dir" -name '.Velkora.ini.tmp-*' -exec touch -d '2 minutes ago' {} +
        "$tool" save "$ini" b && cmp -s "$ini" "$dir/new" && [ "$(temps)" = 0 ] ||
            fail "the save after a kill at $call $n left $(temps) temporary files"
        save "$call:error=$([ $call = write ] && echo ENOSPC || echo EIO):when=$n"
        logged=$(grep -c 'cannot save the list to .*: .*errno [0-9]' "$dir/err")
        # Only the folder's sync comes after the rename: the new file is in place then.
        [[ ($rc = 1 && $holds = old && $logged = 1) || ($rc = 0 && $holds = new) ]] && [ "$(temps)" = 0 ] ||
            fail "$call $n failing: status $rc, file $holds, $logged log lines, $(temps) temporary files"
    done
done
[ $points -ge 4 ] || fail "only $points calls to stop at: a save writes, syncs, renames, syncs the folder"
echo "RESULT save_kill: $points calls of one save, each killed and each failed: $failures failure(s)"
[ $failures = 0 ]
