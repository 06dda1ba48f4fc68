#!/usr/bin/env bash
# Refuses an installation prefix that would leave Velkora's configuration file
# out of its user's reach. Velkora keeps Velkora.ini beside its executable
# (<prefix>/lib/velkora), so that folder must belong to the user who
# configures it: a prefix in the home folder. Anything else only on request.
set -euo pipefail
prefix=${1:?usage: check-prefix.sh <prefix> [allow-system-prefix 0|1]}
allow=${2:-0}

refuse() {
  {
    echo "make install: refusing the prefix '$prefix': $1."
    echo "  Velkora reads and writes its configuration file Velkora.ini beside its"
    echo "  executable, in <prefix>/lib/velkora, so that folder must be writable by the"
    echo "  user who configures Velkora. Install per user (the default prefix is"
    echo "  ~/.local), or, if you really want a shared installation, ask for it:"
    echo "    make install PREFIX=$prefix ALLOW_SYSTEM_PREFIX=1"
  } >&2
  exit 1
}

abs=$(realpath -m -- "$prefix")
home=
if [[ -n ${HOME:-} && $HOME != / ]]; then
  home=$(realpath -m -- "$HOME")
fi

# The nearest folder that exists decides whether the user can create the rest.
probe=$abs
while [[ ! -e $probe ]]; do probe=$(dirname "$probe"); done
writable=1
if [[ ! -d $probe || ! -w $probe ]]; then writable=0; fi
for sub in lib/velkora bin; do
  if [[ -e $abs/$sub && ! -w $abs/$sub ]]; then writable=0; fi
done

if [[ $allow == 1 ]]; then
  if [[ $writable == 0 ]]; then
    echo "make install: '$abs' is not writable by $(id -un); run the install as a user who may write there." >&2
    exit 1
  fi
  echo "Installing under '$abs' as asked (ALLOW_SYSTEM_PREFIX=1)."
  echo "Remember: Velkora.ini goes to '$abs/lib/velkora'; make that folder writable for whoever configures Velkora."
  exit 0
fi
if [[ -z $home ]]; then
  refuse "there is no home folder (HOME is unset or /) to tell a per-user prefix by"
fi
if [[ $abs != "$home" && $abs != "$home"/* ]]; then
  refuse "it lies outside your home folder $home"
fi
if [[ $writable == 0 ]]; then
  refuse "$(id -un) cannot write to it"
fi
