#!/bin/bash
# Writes into a small tmpfs while its free space is swept across the size of
# the file, through symbolic links that cross file systems, and as root into
# another user's file. Needs root (to mount); says SKIP and exits 77 otherwise.
# For every amount of free space: a write that fails leaves the file byte for
# byte as it was; a write that reports success left the whole new file; no
# temporary file stays either way; no write hangs. Writes with plenty of room
# must succeed.
# Usage: disk_full.sh <rel_tool> [step bytes]
set -u
tool=$1 step=${2:-2048}
[ "$(id -u)" = 0 ] || { echo "SKIP disk_full: needs root to mount a small tmpfs"; exit 77; }
work=$(mktemp -d "$PWD/disk-full-XXXXXX") || exit 2
small=$work/small disk=$work/disk
mkdir -p "$small" "$disk"
if ! mount -t tmpfs -o size=256k,mode=0755,nosuid,nodev tmpfs "$small"; then
    rm -rf "$work"
    echo "SKIP disk_full: cannot mount a tmpfs here"
    exit 77
fi
trap 'umount -l "$small"; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
# Status 0 written, 1 refused, 124 hung (ended after 20 s), anything else died.
write() { timeout -k 5 20 "$tool" write "$@"; }
free_bytes() { echo $(($(stat -f -c '%a * %S' "$1"))); }
strays() { ls -A "$1" | grep -v -x -F "$(printf '%s\n' "${@:2}")"; } # dir known-names...
repeat() { local s; printf -v s '%*s' "$2" ''; printf '%s' "${s// /$1}"; }

big_ini() { # [new path for section 15]
    local letters=abcdefghijklmnopqrstuvwxyz i path
    printf '; von Hand\r\n'
    for i in $(seq 0 30); do
        path=/opt/werkzeug/$(repeat "${letters:i%26:1}" 600)
        [ $i = 15 ] && [ $# = 1 ] && path=$1
        printf '[%d]\r\nDATEI=%s\r\nName=Gr\xc3\xb6\xc3\x9fe %d\r\nZEIT=%d\r\n' $i "$path" $i $((i + 2))
    done
}

new_value=/opt/neu/$(repeat n 900)
big_ini >"$work/original"
big_ini "$new_value" >"$work/expected"
old_size=$(stat -c %s "$work/original") new_size=$(stat -c %s "$work/expected")
points=0 refused=0 succeeded=0 largest_refused=-1 smallest_succeeded=-1
for ((leave = 0; leave <= new_size + 4 * 4096; leave += step)); do
    # Takes all but leave bytes; allocation is by pages, so what is left is
    # rounded down to a page.
    rm -f "$small/filler"
    cp "$work/original" "$small/Velkora.ini" || fail "cannot set up $leave bytes free"
    take=$(($(free_bytes "$small") - leave))
    [ $take -le 0 ] || fallocate -l $take "$small/filler" || fail "cannot fill to $leave bytes free"
    free=$(free_bytes "$small")
    points=$((points + 1))
    write "$small/Velkora.ini" 15 DATEI "$new_value"
    r=$?
    at="disk full, $free bytes free:"
    case $r in
    0)
        succeeded=$((succeeded + 1))
        [ $smallest_succeeded -ge 0 ] && [ $smallest_succeeded -le $free ] || smallest_succeeded=$free
        cmp -s "$work/expected" "$small/Velkora.ini" ||
            fail "$at write said true but the file is $(stat -c %s "$small/Velkora.ini") bytes, not the new one"
        ;;
    1)
        refused=$((refused + 1))
        [ $largest_refused -ge $free ] || largest_refused=$free
        cmp -s "$work/original" "$small/Velkora.ini" ||
            fail "$at refused write changed the file ($old_size -> $(stat -c %s "$small/Velkora.ini") bytes)"
        # Plenty of room (the new file and two pages more) must not be refused.
        [ $free -lt $((new_size + 2 * 4096)) ] || fail "$at refused although there was room"
        ;;
    124) fail "$at write hung" ;;
    *) fail "$at writer died (status $r)" ;;
    esac
    left=$(strays "$small" Velkora.ini filler) && fail "$at left behind: $left"
done
rm -f "$small/filler"
echo "RESULT disk_full: file $old_size -> $new_size bytes, free space swept 0..$((new_size + 4 * 4096))" \
    "in $step-byte steps: points=$points refused=$refused succeeded=$succeeded" \
    "largest-free-refused=$largest_refused smallest-free-succeeded=$smallest_succeeded"

# A link on one file system, its target on the other: the new file must be
# made beside the target (a rename cannot cross file systems), the link stays.
cross_link() { # link-folder target-folder label
    local link=$1/Velkora.ini target=$2/echt.ini r mode left
    rm -f "$link"
    printf '[0]\nDATEI=alt\n[x]\ny=1\n' >"$target" && chmod 640 "$target" && ln -s "$target" "$link" ||
        { fail "$3: setup"; return; }
    write "$link" 0 Name 'Grüße €'
    r=$?
    mode=$(stat -c %a "$target")
    left=$(strays "$1" Velkora.ini; strays "$2" echt.ini Velkora.ini)
    if [ $r = 0 ] && [ -L "$link" ] && [ "$mode" = 640 ] && [ -z "$left" ] &&
        cmp -s "$target" <(printf '[0]\nDATEI=alt\nName=Grüße €\n[x]\ny=1\n'); then
        echo "RESULT cross_fs_link $3: written through, link and mode 0640 kept"
    else
        fail "$3: status $r, link kept $([ -L "$link" ] && echo yes || echo no), mode $mode," \
            "left [$left], content $(cat "$target")"
        echo "RESULT cross_fs_link $3: FAILED"
    fi
    rm -f "$link" "$target"
}
cross_link "$disk" "$small" "disk->tmpfs"
cross_link "$small" "$disk" "tmpfs->disk"

# Root may write any file; the point is that the owner and mode survive.
id velkora-other >/dev/null 2>&1 || useradd -r -M -s /usr/sbin/nologin velkora-other >/dev/null 2>&1
if ! id velkora-other >/dev/null 2>&1; then
    echo "SKIP foreign owner: no user velkora-other"
else
    file=$disk/fremd.ini
    owner="velkora-other:$(id -gn velkora-other) 640"
    printf '[0]\nDATEI=alt\n' >"$file" && chown velkora-other:"$(id -gn velkora-other)" "$file" &&
        chmod 640 "$file" || fail "foreign owner: setup"
    write "$file" 0 DATEI neu
    r=$?
    now=$(stat -c '%U:%G %a' "$file")
    [ $r = 0 ] && [ "$now" = "$owner" ] || fail "foreign owner: status $r, owner and mode now $now"
    echo "RESULT foreign_owner: root wrote the file of velkora-other ($([ $r = 0 ] && echo true || echo false))," \
        "owner/group/0640 $([ "$now" = "$owner" ] && echo kept || echo LOST)"
fi
[ $failures = 0 ] && echo "PASSED disk_full: 0 failure(s)" && exit 0
echo "FAILED disk_full: $failures failure(s)"
exit 1
