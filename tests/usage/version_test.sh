#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# version_test.sh VERSION PROGRAM [ARG]...: PROGRAM [ARG...] --version prints
# "NAME VERSION" (NAME: the program's file name) alone on standard output
# and exits 0, with no display to show a window on.
set -uo pipefail
version=$1
shift
want="$(basename "$1") $version"
got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" --version)
status=$?
if [ "$status" -ne 0 ] || [ "$got" != "$want" ]; then
  echo "FAIL: $* --version exits $status printing [$got], not [$want]" >&2
  exit 1
fi
echo "$* --version: $got"
