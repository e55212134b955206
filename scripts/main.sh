#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The main job: builds Orvex, makes an image of the sample disc content
# with Joliet and the UDF bridge and lists it, then burns the sample to the
# virtual burner's default drive (a DVD writer with a blank DVD+R kept in
# the user's state directory), verifies it, burns a second session with one
# more file, and lists both sessions from an image of the whole disc.
#
# scripts/main.sh --gui builds the desktop program instead and opens its
# window, with the sample folder listed and the virtual burner's default
# drive when there is no real one.
set -euo pipefail
source "$(dirname "$0")/common.sh"

if [ "${1:-}" = "--gui" ]; then
  ensure_packages $ORVEX_BUILD_PACKAGES $ORVEX_GUI_PACKAGES
  echo "== building the desktop program and the virtual burner in build/release"
  build_targets "$ORVEX_ROOT/build/release" RelWithDebInfo orvex-demo orvex_vburner
  echo "== opening the desktop program on the sample folder"
  exec "$ORVEX_ROOT/build/release/bin/orvex-demo" "$ORVEX_ROOT/examples/sample-disc"
fi

ensure_packages $ORVEX_BUILD_PACKAGES
echo "== building orvex and the virtual burner in build/release"
# The driver library beside the program, and the tool that makes and shows its media.
build_targets "$ORVEX_ROOT/build/release" RelWithDebInfo orvex_tool orvex_vburner orvex-vburner

bin="$ORVEX_ROOT/build/release/bin"
orvex="$bin/orvex"
image="$ORVEX_ROOT/build/sample-disc.iso"
echo "== an image of the sample with Joliet and the UDF bridge, and its tree"
"$orvex" mkiso -o "$image" --udf -V "ORVEX SAMPLE" "$ORVEX_ROOT/examples/sample-disc"
"$orvex" ls "$image"

# The default drive's disc, blank for every run.
unset ORVEX_VBURNER
medium="${XDG_STATE_HOME:-$HOME/.local/state}/orvex/vburner/dvd+r.vmed"
rm -f "$medium" "$medium.blocks"

echo "== burning the sample to the virtual DVD+R, and verifying it"
"$orvex" burn --verify -V "ORVEX SAMPLE" "$ORVEX_ROOT/examples/sample-disc"
echo "== a second session: the first one's files and one more"
extra="$ORVEX_ROOT/build/second-session.txt"
echo "Written in the second session on $(date -u +%Y-%m-%d)." > "$extra"
"$orvex" burn --import-session 0 --verify -V "ORVEX SAMPLE 2" "$extra"

echo "== the disc: $("$orvex" label --session 1) and $("$orvex" label)"
whole="$ORVEX_ROOT/build/sample-disc-burned.iso"
echo "== the virtual disc, and an image of all of it"
"$bin/orvex-vburner" show "$medium"
"$bin/orvex-vburner" export "$medium" "$whole"
second=$("$bin/orvex-vburner" show "$medium" | awk '$1 == "track" && $4 == 2 { print $6 }')
echo "== session 1"
"$orvex" ls "$whole"
echo "== session 2, from block $second"
"$orvex" ls --sector "$second" "$whole"
