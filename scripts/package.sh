#!/usr/bin/env bash
# Builds Orvex and makes its four Debian packages in build/packages:
# liborvex0, liborvex-dev, orvex and orvex-demo.  Install them with
#   sudo apt install ./build/packages/*.deb
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES $ORVEX_GUI_PACKAGES dpkg-dev file
build_tree "$ORVEX_ROOT/build/release" RelWithDebInfo
out="$ORVEX_ROOT/build/packages"
rm -f "$out"/*.deb
cpack --config "$ORVEX_ROOT/build/release/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 ||
  { cat "$out.log" >&2; echo "orvex: making the packages failed" >&2; exit 1; }
ls -1 "$out"/*.deb
