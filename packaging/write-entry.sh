#!/usr/bin/env bash
# Writes an installed desktop entry that names the installed link by its full
# path, since the session's PATH often lacks ~/.local/bin (Debian adds it only
# at a login after the folder exists).
#   write-entry.sh menu <link> <file>       the menu entry, from velkora.desktop
#   write-entry.sh autostart <link> <file>  the login start: the countdown
set -euo pipefail
usage="usage: write-entry.sh menu|autostart <installed link> <entry file>"
kind=${1:?$usage}
link=${2:?$usage}
target=${3:?$usage}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

case $link in
/*) ;;
*) echo "write-entry.sh: the link must be an absolute path: $link" >&2; exit 2 ;;
esac
# Launchers look the Exec program up before they expand "%%", so a path with a
# percent sign (or a line break) cannot be named reliably.
if [[ $link == *%* || $link == *$'\n'* ]]; then
  echo "write-entry.sh: cannot name '$link' in a desktop entry (percent sign or line break in the path); choose another prefix" >&2
  exit 2
fi

# Exec quoting of the desktop entry format: reserved characters force double
# quotes, inside which " ` $ \ take a backslash; then the string level doubles
# every backslash.
exec_arg=$link
if [[ $link =~ [^A-Za-z0-9/._+,@=:-] ]]; then
  q=${link//\\/\\\\}
  q=${q//\"/\\\"}
  q=${q//\`/\\\`}
  q=${q//\$/\\\$}
  exec_arg="\"$q\""
fi
exec_arg=${exec_arg//\\/\\\\}
tryexec=${link//\\/\\\\}

mkdir -p "$(dirname "$target")"
tmp=$(mktemp "$target.XXXXXX")
trap 'rm -f "$tmp"' EXIT
case $kind in
menu)
  while IFS= read -r line || [[ -n $line ]]; do
    case $line in
    Exec=velkora*) printf 'Exec=%s%s\n' "$exec_arg" "${line#Exec=velkora}" ;;
    TryExec=velkora) printf 'TryExec=%s\n' "$tryexec" ;;
    *) printf '%s\n' "$line" ;;
    esac
  done < "$here/velkora.desktop" > "$tmp"
  ;;
autostart)
  cat > "$tmp" <<ENTRY
[Desktop Entry]
Type=Application
Name=Velkora
Comment=Programme nach der Anmeldung nacheinander starten
Comment[en]=Start programs one after another after login
Icon=velkora
TryExec=$tryexec
Exec=$exec_arg
Terminal=false
ENTRY
  ;;
*) echo "$usage" >&2; exit 2 ;;
esac
chmod 644 "$tmp"
mv -f "$tmp" "$target"
trap - EXIT
