#!/usr/bin/env bash
# Fills a desktop entry template (@EXEC@, @TRYEXEC@) with a program's full
# path: the menu entry names the installed link, the login start the real
# executable. The program's own "Beim Anmelden starten" fills the login
# template in just the same way, so both write the same bytes.
#   write-entry.sh <template> <program> <entry file>
set -euo pipefail
export LC_ALL=C # bytes in, bytes out; character classes by ASCII
usage="usage: write-entry.sh <template> <program> <entry file>"
template=${1:?$usage}
program=${2:?$usage}
target=${3:?$usage}

case $program in
/*) ;;
*) echo "write-entry.sh: the program must be an absolute path: $program" >&2; exit 2 ;;
esac
# Launchers look the Exec program up before they expand "%%", and the format
# has room for neither control characters nor text that is not UTF-8.
if [[ $program == *[%[:cntrl:]]* ]] || ! iconv -f UTF-8 -t UTF-8 <<<"$program" >/dev/null 2>&1; then
  echo "write-entry.sh: cannot name '$program' in a desktop entry (a percent sign, a control character or a name that is not UTF-8); choose another prefix" >&2
  exit 2
fi

# Exec quoting: any character beyond the plainest ones puts the path in
# double quotes, inside which " ` $ \ take a backslash; then the string level
# doubles every backslash.
exec_arg=$program
if [[ $program =~ [^A-Za-z0-9/._+,@=:-] ]]; then
  q=${program//\\/\\\\}
  q=${q//\"/\\\"}
  q=${q//\`/\\\`}
  q=${q//\$/\\\$}
  exec_arg="\"$q\""
fi
exec_arg=${exec_arg//\\/\\\\}
tryexec=${program//\\/\\\\}

(umask 077 && mkdir -p "$(dirname "$target")")
tmp=$(mktemp "$target.XXXXXX")
trap 'rm -f "$tmp"' EXIT
# One placeholder per line, replaced once, so that a path holding "@EXEC@"
# stays as it is.
while IFS= read -r line || [[ -n $line ]]; do
  case $line in
  *@TRYEXEC@*) line=${line%%@TRYEXEC@*}$tryexec${line#*@TRYEXEC@} ;;
  *@EXEC@*) line=${line%%@EXEC@*}$exec_arg${line#*@EXEC@} ;;
  esac
  printf '%s\n' "$line"
done < "$template" > "$tmp"
chmod 644 "$tmp"
mv -f "$tmp" "$target"
trap - EXIT
