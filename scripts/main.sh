#!/usr/bin/env bash
# The main job: builds Orvex, makes an image of the sample disc content
# with Joliet and the UDF bridge, and lists it.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES
build_tree "$ORVEX_ROOT/build/release" RelWithDebInfo

orvex="$ORVEX_ROOT/build/release/bin/orvex"
image="$ORVEX_ROOT/build/sample-disc.iso"
"$orvex" mkiso -o "$image" --udf -V "ORVEX SAMPLE" "$ORVEX_ROOT/examples/sample-disc"
"$orvex" ls "$image"
