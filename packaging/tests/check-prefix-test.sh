#!/usr/bin/env bash
# Which prefixes `make install` accepts: the user's own, or any writable one
# when asked for explicitly. Runs the cases as an unprivileged user too when
# started as root, since root can write everywhere.
set -uo pipefail
check=${1:?usage: check-prefix-test.sh <check-prefix.sh> <scratch folder>}
work=${2:?usage: check-prefix-test.sh <check-prefix.sh> <scratch folder>}
rm -rf "$work" && mkdir -p "$work/home/user" "$work/outside"
home=$work/home/user
fail=0

# expect <name> <accept|refuse> <prefix> <allow> [runner...]
expect() {
  local name=$1 want=$2 prefix=$3 allow=$4; shift 4
  local out rc
  out=$(HOME=$home "$@" bash "$check" "$prefix" "$allow" 2>&1); rc=$?
  if [[ $want == accept && $rc != 0 ]]; then
    echo "FAIL $name: refused: $out"; fail=1
  elif [[ $want == refuse && ( $rc == 0 || $out != *Velkora.ini* ) ]]; then
    echo "FAIL $name: rc=$rc, expected a refusal that names Velkora.ini: $out"; fail=1
  else
    echo "ok   $name"
  fi
}

expect default_in_home       accept "$home/.local"              0
expect new_folder_in_home    accept "$home/apps/velkora"        0
expect system_prefix         refuse /usr/local                  0
expect outside_home          refuse "$work/outside"             0
expect dotdot_escapes_home   refuse "$home/../../outside"       0
expect home_lookalike        refuse "$home-other/.local"        0
expect relative_to_home      accept "$(realpath --relative-to=. "$home")/.local" 0
expect asked_for_explicitly  accept "$work/outside"             1

if [[ $(id -u) == 0 ]] && command -v setpriv >/dev/null; then
  # The build folder's parents may be closed to others; /tmp never is.
  home=$(mktemp -d /tmp/velkora-prefix-test.XXXXXX)
  trap 'rm -rf "$home"' EXIT
  as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod 755 "$home" && chown 65534 "$home"
  mkdir -p "$home/locked" && chown 65534 "$home/locked" && chmod 555 "$home/locked"
  expect unprivileged_home        accept "$home/.local"         0 "${as_nobody[@]}"
  expect unprivileged_locked      refuse "$home/locked/prefix"  0 "${as_nobody[@]}"
  # Asked for, but still not writable: refused all the same.
  if HOME=$home "${as_nobody[@]}" bash "$check" /usr/local 1 >/dev/null 2>&1; then
    echo "FAIL unprivileged_system_asked: accepted"; fail=1
  else
    echo "ok   unprivileged_system_asked"
  fi
elif [[ $(id -u) != 0 ]]; then
  mkdir -p "$home/locked" && chmod 555 "$home/locked"
  expect locked_in_home refuse "$home/locked/prefix" 0
  chmod 755 "$home/locked"
fi
exit $fail
