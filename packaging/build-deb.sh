#!/usr/bin/env bash
# Builds the Debian package from a scratch copy of the tree: dpkg-buildpackage
# leaves build files in the source and writes the package into the source's
# parent folder, and both must stay inside <out>.
#   build-deb.sh <out folder> [jobs]
set -euo pipefail
out=$(realpath -m -- "${1:?usage: build-deb.sh <out folder> [jobs]}")
jobs=${2:-$(nproc)}
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
tree=$out/src/velkora-$version

rm -rf "$out/src"
mkdir -p "$tree"
rm -f "$out"/velkora*_"$version"_*
# What git knows of, committed or not (a tracked file deleted since is
# skipped); without git, the tree less its build folders.
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git -C "$src" ls-files -z --cached --others --exclude-standard \
    | tar -C "$src" --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$tree" -xf -
else
  tar -C "$src" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$tree" -xf -
fi

(cd "$tree" && DEB_BUILD_OPTIONS="parallel=$jobs ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b)
mv -f "$out/src"/velkora*_"$version"_* "$out"/
echo "Built $(ls "$out"/velkora_"$version"_*.deb)"
