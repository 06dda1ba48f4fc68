#!/bin/bash
# Saves that a new file could not keep as it is go in place, by a user without root: a folder that
# takes no new file around a list the user may write, and (as root) another user's list of mode
# 0666. B saved over A is then in the same file, with its owner and mode, alone in its folder. Root
# writes any folder, so as root the saves run as nobody, and only in make reliability-full.
set -u
tool=$1 as=() me=$(id -un)
if [ "$(id -u)" = 0 ]; then
    [ -n "${RELIABILITY_FULL:-}" ] || { echo "SKIP: as root, only in make reliability-full"; exit 77; }
    as=(runuser -u nobody --) me=nobody
fi
work=$(mktemp -d) && chmod 755 "$work" || exit 2 # nobody reaches it, and no further
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
printf '[Andere]\nbehalten = ja\n' >"$work/list" && "$tool" "$work/list" a && cp "$work/list" "$work/old" &&
    "$tool" "$work/list" b && cp "$work/list" "$work/new" || exit 2
failures=0 rows=0
row() { # <what> <folder mode> <owner of the list> <mode of the list>
    local list=$work/$2-$3-$4/Velkora.ini inode
    mkdir "${list%/*}" && cp "$work/old" "$list" && chown "$3" "$list" && chmod "$4" "$list" &&
        chmod "$2" "${list%/*}" && inode=$(stat -c %i "$list") && rows=$((rows + 1)) || exit 2
    "${as[@]}" "$tool" "$list" b >"$work/out" 2>&1 && cmp -s "$list" "$work/new" &&
        [ "$(stat -c '%i %U %a' "$list")" = "$inode $3 $4" ] && [ "$(ls -A "${list%/*}")" = Velkora.ini ] ||
        { echo "FAIL $1: $(stat -c '%i %U %a' "$list") (was $inode) $(cat "$work/out")"; failures=$((failures + 1)); }
}
row "the folder takes no new file, the list may be written" 555 "$me" 644
[ "$(id -u)" = 0 ] && row "another user's list of mode 0666 in a folder open to all" 777 root 666
echo "RESULT save_inplace: $rows saves in place as $me: $failures failure(s)"
[ $failures = 0 ] || exit 1
[ "$(id -u)" = 0 ] || [ -z "${RELIABILITY_FULL:-}" ] || { echo "SKIP: another user's list needs root"; exit 77; }
