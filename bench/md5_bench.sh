#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# TMD5Stream against `openssl dgst -md5` on the same 1 GiB file, run after
# run, in one go: the median seconds of each over RUNS runs and their ratio.
# Wall time of whole commands for both, so the file reading counts alike.
# Usage: bench/md5_bench.sh [BUILD_DIR] (default build/release; run
# scripts/main.sh or scripts/test.sh first to build it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
runs=${RUNS:-5}
bench=$build/bench/md5_bench
[ -x "$bench" ] || { echo "md5_bench: build $bench first" >&2; exit 1; }
command -v openssl >/dev/null || { echo "md5_bench: openssl is not installed" >&2; exit 1; }

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
