#!/usr/bin/env bash
# The AppStream file validates without network, pedantically, with nothing to
# say but cid-contains-hyphen (the "-" that xdg-desktop-menu's vendor prefix
# needs), and announces this version.
set -euo pipefail
file=${1:?usage: check-metainfo.sh <metainfo file> <version>}
version=${2:?usage: check-metainfo.sh <metainfo file> <version>}
out=$(appstreamcli validate --no-net --pedantic "$file" 2>&1) || { echo "$out"; exit 1; }
echo "$out"
if grep -E '^[EWIP]: ' <<<"$out" | grep -v ' cid-contains-hyphen '; then
  echo "FAIL: $file draws more than the hyphen information (above)"; exit 1
fi
if ! grep -q "<release version=\"$version\"" "$file"; then
  echo "FAIL: $file has no release $version"; exit 1
fi
