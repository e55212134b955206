#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Burning and verifying beside the peers on the same burner, which they can
# only reach through the kernel: the test guest (tests/qemu/run_in_guest.sh)
# boots once, and bench/guest_burn_steps.sh there attaches the virtual
# burner as a SCSI device with a blank BD-R in the guest's RAM, anew for
# every burn, and times (medians of RUNS, default 3, after one warm-up):
#   GNU cat of the data (the floor of a burn), `orvex burn DIR`, xorriso
#   -outdev DEV -map DIR / -commit, cdrskin -tao of an image that
#   `orvex mkiso` made of DIR, `orvex burn-image` of that image; then on
#   the disc orvex burned: `orvex verify` and xorriso -indev DEV -compare_r,
#   beside md5sum of DIR (the floor of a verify).
# DATA_MIB (default 256) MiB in four files.  Under software emulation the
# guest is slow, so the figures to read are the ratios within it.
# Usage: bench/guest_burn_bench.sh [BUILD_DIR] (default build/release, with
# ORVEX_BUILD_BENCH=ON).  Exit status 77 when this machine cannot run the
# guest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
build=${1:-$root/build/release}
runs=${RUNS:-3}
mib=${DATA_MIB:-256}
for tool in "$build/bin/orvex" "$build/bin/orvex-vburner" "$build/bench/gen_tree"; do
  [ -x "$tool" ] || { echo "guest_burn_bench: build $tool first" >&2; exit 1; }
done
ensure_packages qemu-system-x86 linux-image-amd64 busybox-static cpio xorriso cdrskin coreutils

work=$(mktemp -d "${TMPDIR:-/tmp}/orvex-guest-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The guest's own CD-ROM drive needs a disc; a small one does.
mkdir "$work/boot"
echo "guest burn bench" >"$work/boot/readme.txt"
"$build/bin/orvex" mkiso -q -o "$work/boot.iso" "$work/boot"
echo "bench guest_burn_steps.sh $mib $runs" >"$work/commands"

# The floor of a burn is GNU cat, which reads the data into its own memory
# as a burning program does (busybox's cat splices files to /dev/null
# without reading them), shipped as gcat so that busybox keeps its name.
mkdir "$work/gnu"
cp "$(command -v cat)" "$work/gnu/gcat"
programs=()
for program in "$work/gnu/gcat" "$build/bin/orvex" "$build/bin/orvex-vburner" "$build/bench/gen_tree" "$root/bench/guest_burn_steps.sh" \
  "$(command -v xorriso)" "$(command -v cdrskin)" "$(command -v md5sum)"; do
  programs+=(--bin "$program")
done

load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
# The guest's files live in its root file system, which gets half its RAM:
# the sources, the image and the medium (a burner whose file system fills
# fails the write), and beside them the page cache of the disc as it is read
# back.  Each step tells the console it is alive.
status=0
ORVEX_GUEST_MEMORY=${ORVEX_GUEST_MEMORY:-$((mib * 8 + 1024))} ORVEX_GUEST_TIME_LIMIT=${ORVEX_GUEST_TIME_LIMIT:-14400} \
  "$root/tests/qemu/run_in_guest.sh" --image "$work/boot.iso" --commands "$work/commands" --console "$work/console" \
  "${programs[@]}" 2>"$work/runner.err" || status=$?
load_after=$(cut -d ' ' -f 1-3 /proc/loadavg)
cat "$work/runner.err" >&2
[ "$status" -ne 77 ] || exit 77
# What the steps wrote to standard output, from the hex copy on the console.
tr -d '\r' <"$work/console" |
  sed -n '/^@@orvex-guest begin bench$/,/^@@orvex-guest end bench/s/^@@orvex-guest out //p' |
  perl -ne 'print pack("H*", join("", split))' >"$work/results"
# The guest runs on after a failed command; its end marker tells.
tr -d '\r' <"$work/console" | grep -qx '@@orvex-guest end bench 0' || status=1
if [ "$status" -ne 0 ]; then
  echo "guest_burn_bench: the guest's steps failed; they said:" >&2
  tr -d '\r' <"$work/console" | grep -a -e '^@@bench' -e '^| ' | tail -n 12 >&2
  exit 1
fi

awk -v runs="$runs" -v mib="$mib" -v before="$load_before" -v after="$load_after" '
  function median(name,    n, i, j, t, v) {
    n = 0
    for (i = 1; i <= runs; i++) if ((i, name) in seconds) v[++n] = seconds[i, name]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n == 0 ? 0 : (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2)
  }
  $1 == "time" { seconds[$2, $3] = $4 }
  $1 == "check" { text = $0; sub(/^check [^ ]+ [^ ]+ ?/, "", text); checks = checks sprintf("check of %s: status %s, %s\n", $2, $3, text) }
  function row(label, name, floor, peer, peer_label,    m) {
    m = median(name)
    printf "| %s | %.2f | %.2f | %s |\n", label, m, m / median(floor),
      peer == "" ? "" : sprintf("%.2f vs %s", m / median(peer), peer_label)
  }
  END {
    printf "| in the guest (%d MiB in four files, RAM-backed BD-R, medians of %d) | wall s | / floor | / peer |\n", mib, runs
    print "|---|---|---|---|"
    row("GNU cat of the data (burn floor)", "cat", "cat", "", "")
    row("orvex burn DIR", "orvex-burn", "cat", "xorriso-burn", "xorriso")
    row("xorriso -outdev -map -commit", "xorriso-burn", "cat", "", "")
    row("orvex burn-image IMAGE", "orvex-burn-image", "cat", "cdrskin-tao", "cdrskin")
    row("cdrskin -tao IMAGE", "cdrskin-tao", "cat", "", "")
    row("md5sum of the data (verify floor)", "md5sum", "md5sum", "", "")
    row("orvex verify", "orvex-verify", "md5sum", "xorriso-compare", "xorriso")
    row("xorriso -indev -compare_r", "xorriso-compare", "md5sum", "", "")
    printf "%s", checks
    printf "host load average before %s, after %s\n", before, after
  }' "$work/results"
