#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds what the four Debian packages hold (no test suites, benchmarks,
# examples or guest images) in build/package and makes the packages in
# build/packages: liborvex0, liborvex-dev, orvex and orvex-demo.  Install
# them with
#   sudo apt install ./build/packages/*.deb
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES $ORVEX_GUI_PACKAGES dpkg-dev file
tree=$ORVEX_ROOT/build/package
build_tree "$tree" RelWithDebInfo -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCH=OFF -DORVEX_BUILD_EXAMPLES=OFF
out=$ORVEX_ROOT/build/packages
mkdir -p "$out"
rm -f "$out"/*.deb
cpack --config "$tree/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 ||
  { cat "$out.log" >&2; echo "orvex: making the packages failed" >&2; exit 1; }
echo "orvex: the packages are in $out:"
ls -1 "$out"/*.deb
