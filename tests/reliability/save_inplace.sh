#!/bin/bash
# Saves that a new file could not keep as it is write the list in place, as a user without root:
# a folder that takes no new file around a list the user may write, and (as root, with
# $RELIABILITY_FULL) another user's list of mode 0666. The new list is then in the same file, with
# its owner and mode, and the folder holds nothing else. Root writes any folder, so as root the
# saves run as nobody, in a scratch folder nobody can reach, and only in the long run.
#   save_inplace.sh <rel_tool>
set -u
tool=$1 as=() me=$(id -un)
if [ "$(id -u)" = 0 ]; then
    [ -n "${RELIABILITY_FULL:-}" ] || { echo "SKIP: as root only another user meets a folder it cannot write: make reliability-full"; exit 77; }
    as=(runuser -u nobody --) me=nobody
fi
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
"${as[@]}" test -x "$tool" || { echo "SKIP: $me cannot run $tool"; exit 77; }
printf '[Andere]\nbehalten = ja\n' >"$work/list" && "$tool" "$work/list" a && cp "$work/list" "$work/old" &&
    "$tool" "$work/list" b && cp "$work/list" "$work/new" || exit 2
failures=0 rows=0

# row <what> <folder mode> <owner of the list> <mode of the list>: B saved over A by $me.
row() {
    local folder=$work/$2-$3-$4 list inode
    list=$folder/Velkora.ini rows=$((rows + 1))
    mkdir "$folder" && cp "$work/old" "$list" && chown "$3" "$list" && chmod "$4" "$list" &&
        chmod "$2" "$folder" && inode=$(stat -c %i "$list") || exit 2
    "${as[@]}" "$tool" "$list" b >"$work/out" 2>"$work/err" && cmp -s "$list" "$work/new" &&
        [ "$(stat -c '%i %U %a' "$list")" = "$inode $3 $4" ] && [ "$(ls -A "$folder")" = Velkora.ini ] ||
        { echo "FAIL $1: $(stat -c '%i %U %a' "$list") (was $inode), $(ls -A "$folder" | tr '\n' ' ')$(cat "$work/out" "$work/err")"; failures=$((failures + 1)); }
    chmod 700 "$folder"
}
row "the folder takes no new file, the list may be written" 555 "$me" 644
[ "$(id -u)" = 0 ] && row "another user's list of mode 0666 in a folder open to all" 777 root 666
echo "RESULT save_inplace: $rows saves in place as $me: $failures failure(s)"
[ $failures = 0 ] || exit 1
[ "$(id -u)" = 0 ] || [ -z "${RELIABILITY_FULL:-}" ] || { echo "SKIP: another user's list needs root"; exit 77; }
