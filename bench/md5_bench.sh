#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# TMD5Stream against `openssl dgst -md5` on the same 1 GiB file, run after
# run, in one go: the median seconds of each over RUNS runs and their ratio.
# Wall time of whole commands for both, so the file reading counts alike.
# Then `orvex verify` of a disc burned on the virtual burner (a RAM-backed
# BD-R, unthrottled) against `md5sum` of its sources, the floor of a
# verify: VERIFY_MIB (default 2048) MiB in four files; the median wall and
# CPU seconds of each and their ratios.  VERIFY_MIB=0 leaves it out.
# Beside them xorriso's -compare_r of the same sources, against the disc
# exported to an image file in RAM (a "stdio:" address: xorriso takes a
# path below /dev for a drive): the virtual burner is not a kernel
# device on this host, so xorriso cannot read it as a drive
# (bench/guest_burn_bench.sh compares both on the drive, in the guest).
# Usage: bench/md5_bench.sh [BUILD_DIR] (default build/release; run
# scripts/main.sh or scripts/test.sh first to build it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
build=${1:-$root/build/release}
runs=${RUNS:-5}
bench=$build/bench/md5_bench
verify_mib=${VERIFY_MIB:-2048}
[ -x "$bench" ] || { echo "md5_bench: build $bench first" >&2; exit 1; }
if [ "$verify_mib" -gt 0 ]; then
  for tool in "$build/bin/orvex" "$build/bin/orvex-vburner" "$build/bench/gen_tree"; do
    [ -x "$tool" ] || { echo "md5_bench: build $tool first" >&2; exit 1; }
  done
fi
command -v openssl >/dev/null || { echo "md5_bench: openssl is not installed" >&2; exit 1; }
[ "$verify_mib" -eq 0 ] || ensure_packages time xorriso

data=$(mktemp "${TMPDIR:-/tmp}/orvex-md5-XXXXXX")
trap 'rm -f "$data"' EXIT
head -c 1G /dev/urandom >"$data"
cat "$data" >/dev/null  # both start from the page cache

seconds() {  # seconds COMMAND...: wall time of one run, digest checked below
  local start end
  start=$(date +%s%N)
  "$@" >"$data.out"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(seconds "$bench" "$data")")
  digest_ours=$(cut -d' ' -f1 "$data.out")
  theirs+=("$(seconds openssl dgst -md5 "$data")")
  digest_theirs=$(sed 's/.*= //' "$data.out" | tr a-f A-F)
done
rm -f "$data.out"
[ "$digest_ours" = "$digest_theirs" ] || { echo "md5_bench: digests differ" >&2; exit 1; }

m_ours=$(printf '%s\n' "${ours[@]}" | median)
m_theirs=$(printf '%s\n' "${theirs[@]}" | median)
awk -v o="$m_ours" -v t="$m_theirs" -v runs="$runs" 'BEGIN {
  printf "| tool | median s (%d runs, 1 GiB) | MiB/s |\n|---|---|---|\n", runs
  printf "| TMD5Stream | %.3f | %.0f |\n", o, 1024 / o
  printf "| openssl dgst -md5 | %.3f | %.0f |\n", t, 1024 / t
  printf "ratio TMD5Stream / openssl: %.2f (target <= 1.20)\n", o / t
}'

[ "$verify_mib" -gt 0 ] || exit 0
orvex=$build/bin/orvex
work=$(mktemp -d "${TMPDIR:-/tmp}/orvex-verify-bench-XXXXXX")
shm=$(mktemp -d /dev/shm/orvex-verify-bench-XXXXXX)
trap 'rm -rf "$data" "$work" "$shm"' EXIT
src=$work/large
per_file=$((verify_mib * 1048576 / 4))
"$build/bench/gen_tree" "$src" 4 0 "$per_file" "$per_file"
"$build/bin/orvex-vburner" new bd-r "$shm/bd-r.vmed" >/dev/null
export ORVEX_VBURNER="0:0:0,class=bd-writer,sync=1,medium=$shm/bd-r.vmed;timescale=1000000000"
"$orvex" burn -q --no-pass-through "$src" >/dev/null
"$build/bin/orvex-vburner" export "$shm/bd-r.vmed" "$shm/disc.iso"
find "$src" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache

# timed NAME COMMAND...: appends "wall user sys" of one run to $work/NAME.times;
# its standard output is left in $work/NAME.out.
timed() {
  local name=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" ||
    { echo "md5_bench: $name failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
  cat "$work/$name.time" >>"$work/$name.times"
}
for _ in $(seq "$runs"); do
  timed verify "$orvex" verify -q --no-pass-through "$src"
  timed md5sum find "$src" -type f -exec md5sum {} +
  timed compare xorriso -indev "stdio:$shm/disc.iso" -compare_r "$src" /
  # xorriso exits 0 when it finds differences too.
  grep -q '^Both file objects match' "$work/compare.out" ||
    { echo "md5_bench: xorriso found the exported disc unlike its sources:" >&2; cat "$work/compare.out" >&2; exit 1; }
done
wall() { awk '{ print $1 }' "$work/$1.times" | median; }
cpu() { awk '{ print $2 + $3 }' "$work/$1.times" | median; }
awk -v vw="$(wall verify)" -v vc="$(cpu verify)" -v mw="$(wall md5sum)" -v mc="$(cpu md5sum)" \
  -v xw="$(wall compare)" -v xc="$(cpu compare)" -v mib="$verify_mib" -v runs="$runs" 'BEGIN {
  printf "\n| job (%d MiB in four files, %d runs, medians) | wall s | CPU s | MiB/s |\n|---|---|---|---|\n", mib, runs
  printf "| orvex verify, RAM-backed BD-R | %.2f | %.2f | %.0f |\n", vw, vc, mib / vw
  printf "| md5sum of the sources (the floor) | %.2f | %.2f | %.0f |\n", mw, mc, mib / mw
  printf "| xorriso -compare_r, against the exported image, not the drive | %.2f | %.2f | %.0f |\n", xw, xc, mib / xw
  printf "ratio verify / md5sum: wall %.2f, CPU %.2f (target wall <= 1.30)\n", vw / mw, vc / mc
  printf "ratio verify / xorriso -compare_r of the image: wall %.2f, CPU %.2f\n", vw / xw, vc / xc
}'
