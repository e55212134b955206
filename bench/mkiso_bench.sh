#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# `orvex mkiso` against xorriso and genisoimage on the same data in one run,
# all writing Rock Ridge and Joliet (orvex-norock: orvex without Rock Ridge,
# which tells what the records cost), with `cat` of the same files into one
# file as the I/O floor:
#   (a) 2 GiB in four files, (b) 100,000 small files over 1,000 directories,
#   (c) 50,000 small files in one directory.
# Each tool runs RUNS times per dataset, in a shuffled order every round so
# drift hits all alike, from a warm page cache and after a sync; the table
# has the median wall time (and the best), the median CPU time (user and
# system), MiB/s of source data, the peak RSS, the ratio to orvex, and the
# wall and CPU ratios to the floor (cat, when it is among TOOLS), and the
# peak RSS against genisoimage's (the UDF rows against genisoimage -udf).  DATASETS (default "a b c") picks the datasets.
# Usage: bench/mkiso_bench.sh [BUILD_DIR] (default build/release; run
# scripts/main.sh first).  WORK (default /tmp) holds the data and images,
# about 5 GiB.  BASELINE names another orvex binary (an earlier build) to
# time beside this one, as the rows orvex-baseline and orvex-baseline-udf.
# TOOLS (default: every one) picks the tools, e.g. TOOLS="orvex orvex-udf cat".  genisoimage gets -l (31-character ISO 9660 names): without it
# it cannot make 50,000 unique 8.3 names in one directory and gives up.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
build=${1:-$root/build/release}
runs=${RUNS:-5}
orvex=$build/bin/orvex
gen=$build/bench/gen_tree
for tool in "$orvex" "$gen"; do
  [ -x "$tool" ] || { echo "mkiso_bench: build $tool first" >&2; exit 1; }
done
ensure_packages time genisoimage xorriso

work=$(mktemp -d "${WORK:-/tmp}/orvex-mkiso-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
out=$work/out.iso

# One command line per tool; SRC is the dataset's folder.
declare -A commands=(
  [orvex]='"$orvex" mkiso -q -o "$out" -V BENCH "$src"'
  [orvex-norock]='"$orvex" mkiso -q --no-rock -o "$out" -V BENCH "$src"'
  [xorriso]='xorriso -as mkisofs -quiet -R -J -joliet-long -V BENCH -o "$out" "$src"'
  [genisoimage]='genisoimage -quiet -l -R -J -joliet-long -V BENCH -o "$out" "$src"'
  [orvex-udf]='"$orvex" mkiso -q --udf -o "$out" -V BENCH "$src"'
  [genisoimage-udf]='genisoimage -quiet -l -R -J -joliet-long -udf -V BENCH -o "$out" "$src"'
  [cat]='find "$src" -type f -print0 | xargs -0 cat >"$out"'
)
tools=(orvex orvex-norock xorriso genisoimage orvex-udf genisoimage-udf cat)
[ -n "${TOOLS:-}" ] && read -r -a tools <<<"$TOOLS"
if [ -n "${BASELINE:-}" ]; then
  commands[orvex-baseline]='"$BASELINE" mkiso -q -o "$out" -V BENCH "$src"'
  commands[orvex-baseline-udf]='"$BASELINE" mkiso -q --udf -o "$out" -V BENCH "$src"'
  tools+=(orvex-baseline orvex-baseline-udf)
fi

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure TOOL: one run; appends "seconds peak-KiB user-s system-s" to
# $work/TOOL.times.
measure() {
  rm -f "$out"
  sync
  sleep 1
  src=$src out=$out orvex=$orvex BASELINE=${BASELINE:-} /usr/bin/time -f '%e %M %U %S' -o "$work/$1.time" \
    bash -c "${commands[$1]}" >/dev/null 2>"$work/$1.err" ||
    { echo "mkiso_bench: $1 failed:" >&2; cat "$work/$1.err" >&2; exit 1; }
  cat "$work/$1.time" >>"$work/$1.times"
}

# bench NAME FILES DIRS MIN MAX: generates the dataset, runs every tool.
bench() {
  local name=$1
  src=$work/$name
  "$gen" "$src" "$2" "$3" "$4" "$5"
  local mib
  mib=$(du -s --apparent-size -B1 "$src" | awk '{ printf "%.1f", $1 / 1048576 }')
  find "$src" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache
  rm -f "$work"/*.times
  for _ in $(seq "$runs"); do
    # A new order every round: how fast a run is depends on what ran before
    # it (whether the memory it gets was in use a moment ago), and that must
    # not always favour the same tool.
    for tool in $(printf '%s\n' "${tools[@]}" | shuf); do measure "$tool"; done
  done
  echo
  echo "### $name: $2 files, $3 directories, $mib MiB ($runs runs, medians)"
  echo
  echo "| tool | wall s | best s | CPU s | MiB/s | peak RSS MiB | time / orvex | time / cat | CPU / cat | RSS / genisoimage |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
  local plain udf base floor floor_cpu t best cpu rss gen_rss gen_rss_udf rss_base
  # A base that TOOLS left out gives no ratio, not the end of the run.
  plain=$(awk '{ print $1 }' "$work/orvex.times" 2>/dev/null | median) || plain=0
  udf=$(awk '{ print $1 }' "$work/orvex-udf.times" 2>/dev/null | median) || udf=0
  floor=$(awk '{ print $1 }' "$work/cat.times" 2>/dev/null | median) || floor=0
  floor_cpu=$(awk '{ print $3 + $4 }' "$work/cat.times" 2>/dev/null | median) || floor_cpu=0
  gen_rss=$(awk '{ print $2 }' "$work/genisoimage.times" 2>/dev/null | median) || gen_rss=0
  gen_rss_udf=$(awk '{ print $2 }' "$work/genisoimage-udf.times" 2>/dev/null | median) || gen_rss_udf=0
  for tool in "${tools[@]}"; do
    t=$(awk '{ print $1 }' "$work/$tool.times" | median)
    best=$(awk '{ print $1 }' "$work/$tool.times" | sort -n | head -1)
    rss=$(awk '{ print $2 }' "$work/$tool.times" | median)
    cpu=$(awk '{ print $3 + $4 }' "$work/$tool.times" | median)
    case $tool in *udf) base=$udf rss_base=$gen_rss_udf ;; *) base=$plain rss_base=$gen_rss ;; esac
    awk -v tool="$tool" -v t="$t" -v best="$best" -v cpu="$cpu" -v rss="$rss" -v mib="$mib" -v base="$base" \
      -v floor="$floor" -v floor_cpu="$floor_cpu" -v rss_base="$rss_base" '
      # A ratio to a row that was not run is left blank.
      function ratio(x, of) { return of > 0 ? sprintf("%.2f", x / of) : "" }
      BEGIN {
      printf "| %s | %.2f | %.2f | %.2f | %.0f | %.1f | %s | %s | %s | %s |\n", tool, t, best, cpu,
        mib / (t > 0 ? t : 0.01), rss / 1024, ratio(t, base), ratio(t, floor), ratio(cpu, floor_cpu),
        ratio(rss, rss_base)
    }'
  done
  rm -rf "$src"
}

echo "orvex mkiso benchmark, $(nproc) cores, $(date -u +%Y-%m-%d)"
echo "(time / orvex: the UDF rows compare with orvex --udf, the others with orvex)"
for dataset in ${DATASETS:-a b c}; do
  case $dataset in
    a) bench a-large-files 4 0 536870912 536870912 ;;
    b) bench b-100k-files 100000 1000 1 8192 ;;
    c) bench c-50k-one-dir 50000 0 1 8192 ;;
    *) echo "mkiso_bench: no dataset $dataset (a, b or c)" >&2; exit 2 ;;
  esac
done
