#!/usr/bin/env bash
# Removes what the installation put under <prefix> (and what earlier installs
# put there under older names), and the login start entry if it starts this
# installation. The user's Velkora.ini is never touched.
#   uninstall.sh <prefix> <application id> [<autostart entry file>]
set -euo pipefail
usage="usage: uninstall.sh <prefix> <application id> [<autostart entry file>]"
prefix=${1:?$usage}
id=${2:?$usage}
autostart=${3:-}
prefix=$(realpath -m -- "$prefix")
link=$prefix/bin/velkora
folder=$prefix/lib/velkora

# Keep this list in step with the install rules in packaging/CMakeLists.txt;
# the installation's end-to-end test compares the two.
files=(
  "$folder/Velkora"
  "$prefix/share/applications/$id.desktop"
  "$prefix/share/metainfo/$id.metainfo.xml"
  "$prefix/share/man/man1/velkora.1"
  "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
  "$prefix/share/applications/velkora.desktop"
  "$prefix/share/metainfo/io.github.velkora.Velkora.metainfo.xml"
  "$prefix/share/icons/hicolor/scalable/apps/velkora.svg"
)

if [[ -L $link ]]; then
  if [[ $(readlink -- "$link") == ../lib/velkora/Velkora ]]; then
    rm -f -- "$link" && echo "Removed $link"
  else
    echo "Left $link: it is a link to $(readlink -- "$link"), not to this installation."
  fi
elif [[ -e $link ]]; then
  echo "Left $link: it is not the link this installation makes."
fi
for f in "${files[@]}"; do
  if [[ -e $f || -L $f ]]; then rm -f -- "$f" && echo "Removed $f"; fi
done

if [[ -d $folder ]]; then
  if rmdir -- "$folder" 2>/dev/null; then
    echo "Removed $folder"
  elif [[ -e $folder/Velkora.ini ]]; then
    echo "Kept $folder: it holds your configuration Velkora.ini. Delete the folder yourself if you no longer need it."
  else
    echo "Kept $folder: it holds files that the installation did not put there."
  fi
fi

# Folders the installation may have made, if now empty; never the prefix.
for d in bin share/applications share/metainfo share/man/man1 share/man \
         share/icons/hicolor/scalable/apps share/icons/hicolor/scalable \
         share/icons/hicolor share/icons share lib; do
  rmdir -- "$prefix/$d" 2>/dev/null || true
done

# The login start names the real executable; one from an earlier install
# named the link.
for entry in "$autostart" "${autostart%/*}/velkora.desktop"; do
  [[ -n $autostart && -f $entry ]] || continue
  if grep -qxF -e "TryExec=${folder//\\/\\\\}/Velkora" -e "TryExec=${link//\\/\\\\}" "$entry"; then
    rm -f -- "$entry" && echo "Removed the login start $entry"
  else
    echo "Left the login start $entry: it starts another installation."
  fi
done
