#!/usr/bin/env bash
# The main job: builds Orvex and runs it over the sample disc content.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES
build_tree "$ORVEX_ROOT/build/release" RelWithDebInfo

"$ORVEX_ROOT/build/release/examples/print_tree" "$ORVEX_ROOT/examples/sample-disc"
