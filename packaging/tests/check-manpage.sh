#!/usr/bin/env bash
# The man page renders without a single warning from man or groff, and names
# this version.
set -euo pipefail
page=${1:?usage: check-manpage.sh <page> <version>}
version=${2:?usage: check-manpage.sh <page> <version>}
fail=0
warn=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail=1
warn+=$(groff -man -ww -z "$page" 2>&1) || fail=1
if [[ -n $warn ]]; then echo "$warn"; fail=1; fi
if ! head -n1 "$page" | grep -qF "\"Velkora $version\""; then
  echo "FAIL: the title line does not name Velkora $version"; fail=1
fi
[[ $fail == 0 ]] && echo "man page renders cleanly"
exit $fail
