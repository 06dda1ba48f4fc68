#!/usr/bin/env bash
# The AppStream file validates without network and announces this version.
set -euo pipefail
file=${1:?usage: check-metainfo.sh <metainfo file> <version>}
version=${2:?usage: check-metainfo.sh <metainfo file> <version>}
appstreamcli validate --no-net --pedantic "$file"
if ! grep -q "<release version=\"$version\"" "$file"; then
  echo "FAIL: $file has no release $version"; exit 1
fi
