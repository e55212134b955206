#!/usr/bin/env bash
# version_test.sh VERSION PROGRAM [ARG]...: PROGRAM [ARG...] --version prints
# "NAME VERSION" (NAME: the program's file name) alone on standard output
# and exits 0.  (Qt may talk on standard error; the desktop program needs
# no display for this.)
set -uo pipefail
version=$1
shift
want="$(basename "$1") $version"
got=$(QT_QPA_PLATFORM=offscreen "$@" --version)
status=$?
if [ "$status" -ne 0 ] || [ "$got" != "$want" ]; then
  echo "FAIL: $* --version exits $status printing [$got], not [$want]" >&2
  exit 1
fi
echo "$* --version: $got"
