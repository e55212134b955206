#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# completion_test.sh BIN_DIR SHARE_DIR: the bash completion of orvex and
# orvex-vburner, loaded in a non-interactive bash, completes commands, a
# command's options, files and drive numbers; the zsh functions parse.
set -euo pipefail
bin=$1
share=$2
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir photos
touch photos.iso notes.txt

# expect WANT PROGRAM WORD...: completing the last WORD gives WANT.
expect() {
  local want=$1 function
  function=_$(basename "$2")
  function=${function//-/_}
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  "$function"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$got" != "$want" ]; then
    echo "FAIL: $* completes to [$got], not [$want]" >&2
    failures=$((failures + 1))
  fi
}

source "$share/bash-completion/completions/orvex"
source "$share/bash-completion/completions/orvex-vburner"
expect "burn burn-image" orvex bu
expect "eject erase" orvex e
expect "toc" orvex t
expect "--eject" orvex burn-image --ej
expect "--version" orvex --v
expect "--speed" orvex burn --sp
expect "--no-joliet --no-rock" orvex mkiso --no-
expect "-r" orvex mkiso -r
expect "--ignore-unreadable --import-session --iso1999" orvex verify --i
expect "--json" orvex devices --j
expect "" orvex devices -d                     # devices takes no drive
expect "photos photos.iso" orvex mkiso -o pho  # a path value
expect "notes.txt" orvex burn -V LABEL no      # an operand after an option's value
expect "" orvex mkiso --dest pho               # a directory in the image: the user's word
expect "" orvex erase pho                      # erase takes no operand
expect "export" orvex-vburner ex
expect "--blocks --force --formatted" orvex-vburner new --
expect "photos.iso" orvex-vburner load dvd-rom disc.vmed photos.i

# Drive numbers come from the program's own `devices`; none and quiet
# without a drive.  (The virtual burner's drives stand in where the
# kernel shows none.)
if ! compgen -G "/dev/sr*" >/dev/null; then
  "$bin/orvex-vburner" new dvd+r disc.vmed
  export ORVEX_VBURNER="0:1:0,class=dvd-writer,medium=$work/disc.vmed;1:0:0,class=cd-writer"
  expect "0 1" "$bin/orvex" info -d ""
  expect "0 1" "$bin/orvex" toc -d ""
  export ORVEX_VBURNER="timescale=0"
  expect "" "$bin/orvex" burn --device ""
fi

if command -v zsh >/dev/null; then
  for script in "$share"/zsh/site-functions/_orvex*; do
    zsh -n "$script" || { echo "FAIL: $script does not parse" >&2; failures=$((failures + 1)); }
  done
else
  echo "zsh is not installed: its completion is not checked"
fi
echo "completion: $failures failures"
[ "$failures" -eq 0 ]
