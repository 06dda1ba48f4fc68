#!/usr/bin/env bash
# The man page renders without a single warning from man or groff, names this
# version, keeps every path whole at any width (no hyphenation, no break at a
# hyphen inside a path), gives each file of FILES its own item, and whatis
# finds its NAME line after mandb.
set -euo pipefail
usage="usage: check-manpage.sh <page> <version> <scratch folder>"
page=${1:?$usage}
version=${2:?$usage}
work=${3:?$usage}
fail=0
warn=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail=1
warn+=$(groff -man -ww -z "$page" 2>&1) || fail=1
if [[ -n $warn ]]; then echo "$warn"; fail=1; fi
if ! head -n1 "$page" | grep -qF "\"Velkora $version\""; then
  echo "FAIL: the title line does not name Velkora $version"; fail=1
fi
# A file named after a full stop in FILES opens a new item, which groff does
# not notice when .TP is missing: the file just runs on in the item before.
if ! awk '/^\.SH/ { files = ($2 == "FILES") }
          files && /^\.I/ && previous ~ /[.!?]\)?$/ { print "FAIL: no .TP before line " NR ": " $0; bad = 1 }
          { previous = $0 } END { exit bad }' "$page"; then
  fail=1
fi
for width in 30 45 60 80; do
  if MANWIDTH=$width man -l "$page" 2>/dev/null | grep -E '‐$|/[^ ]*-$'; then
    echo "FAIL: at width $width a word or path is broken (above)"; fail=1
  fi
done
rm -rf "$work" && mkdir -p "$work/man/man1"
cp "$page" "$work/man/man1/velkora.1"
mandb -q "$work/man" 2>/dev/null || true
found=$(whatis -M "$work/man" velkora 2>&1) || true
if ! grep -qE '^velkora \(1\) +- start programs' <<<"$found"; then
  echo "FAIL: whatis velkora after mandb gives: $found"; fail=1
fi
[[ $fail == 0 ]] && echo "man page renders cleanly"
exit $fail
