#!/usr/bin/env bash
# Writes a small example configuration whose entries start harmless programs
# that are on every Debian desktop, so that a first run shows the countdown.
set -euo pipefail
target=${1:?usage: write-example-ini.sh <file>}
{
  printf '[0]\nDATEI=true\nName=Erster Test (true)\nZEIT=3\n'
  printf '[1]\nDATEI=touch %s\nName=Zweiter Test (touch)\nZEIT=2\n' "${TMPDIR:-/tmp}/velkora-example-ran"
  # Only where someone can see it: under a virtual display it would find none.
  if [ -n "${DISPLAY:-}" ] && command -v xmessage >/dev/null; then
    printf '[2]\nDATEI=xmessage -center -timeout 8 "Velkora hat alle Programme gestartet."\nName=Meldung\nZEIT=2\n'
  fi
} > "$target"
