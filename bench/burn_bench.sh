#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Burning against the virtual burner, beside `orvex mkiso` of the same data:
#   (1) 2 GiB in four files (the mkiso benchmark's large-file set) burned to
#       a BD-R whose medium lies in RAM (/dev/shm), the drive's time running
#       so fast that it never holds the host back: wall time, MiB/s, CPU
#       seconds per GiB and peak RSS of `orvex burn` (the burner runs in the
#       same process, so its work counts too) and of `orvex mkiso` to a file
#       in /dev/shm, beside `cat` of the same files into one file in
#       /dev/shm from a warm page cache as the floor (the bytes land where
#       the medium's do, as in the mkiso benchmark), with each job's wall
#       and CPU time as ratios to the floor's, and `cat` to /dev/null (the
#       reading alone) for reference; RUNS times each (default 5), medians and the best
#       run (this machine's system time for the same work varies up to
#       fivefold between runs);
#   (2) the same data to a DVD+R at 16x in real time: the drive's buffer
#       fill as READ BUFFER CAPACITY reported it (every sixth packet), and
#       its lowest value once the buffer had first filled.
# Usage: bench/burn_bench.sh [BUILD_DIR] (default build/release).  REALTIME=0
# leaves out (2).  WORK
# (default /tmp) holds the data; /dev/shm needs 4.5 GiB free.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/common.sh
. "$root/scripts/common.sh"
build=${1:-$root/build/release}
runs=${RUNS:-5}
orvex=$build/bin/orvex
vburner=$build/bin/orvex-vburner
gen=$build/bench/gen_tree
for tool in "$orvex" "$vburner" "$gen"; do
  [ -x "$tool" ] || { echo "burn_bench: build $tool first" >&2; exit 1; }
done
ensure_packages time

work=$(mktemp -d "${WORK:-/tmp}/orvex-burn-bench-XXXXXX")
shm=$(mktemp -d /dev/shm/orvex-burn-bench-XXXXXX)
trap 'rm -rf "$work" "$shm"' EXIT
src=$work/large
"$gen" "$src" 4 0 536870912 536870912
find "$src" -type f -print0 | xargs -0 cat >/dev/null  # warm the page cache
gib=$(du -s --apparent-size -B1 "$src" | awk '{ print $1 / 1073741824 }')

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run NAME COMMAND...: one timed run; appends "wall user sys peak-KiB" to $work/NAME.times.
run() {
  local name=$1
  shift
  sync
  /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" "$@" >/dev/null 2>"$work/$name.err" ||
    { echo "burn_bench: $name failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
  cat "$work/$name.time" >>"$work/$name.times"
}

# burn NAME SYNC: one burn to a fresh RAM-backed BD-R; SYNC=1 lets the
# burner answer each command before SendASPI32Command returns, SYNC=0 hands
# each to the burner's own thread and back through the post event.
# The medium's block file gets its memory before the clock starts: taking
# fresh pages from the kernel is the RAM disk's cost, not the burn's (it
# varied from 1 to 10 s of system time per 2 GiB here).
burn() {
  rm -f "$shm"/*
  "$vburner" new bd-r "$shm/bd-r.vmed" >/dev/null
  fallocate -l "$(du -s --apparent-size -B1M "$src" | awk '{ print $1 + 64 }')M" "$shm/bd-r.vmed.blocks"
  ORVEX_VBURNER="0:0:0,class=bd-writer,sync=$2,medium=$shm/bd-r.vmed;timescale=1000000000" \
    run "$1" "$orvex" burn -q --no-pass-through "$src"
}

# The first runs after the data was written are slow while the kernel
# settles its memory (seen here: up to five times the system time); two
# burns and an image, untimed.
burn warm-up 1
burn warm-up 0
rm -f "$shm"/*
run warm-up "$orvex" mkiso -q -o "$shm/out.iso" "$src"

for _ in $(seq "$runs"); do
  burn burn-at-once 1
  burn burn-posted 0
  rm -f "$shm"/*
  run mkiso "$orvex" mkiso -q -o "$shm/out.iso" "$src"
  rm -f "$shm"/*
  run cat bash -c 'find "$1" -type f -print0 | xargs -0 cat >"$2"' cat "$src" "$shm/out.cat"
  rm -f "$shm"/*
  run cat-null bash -c 'find "$1" -type f -print0 | xargs -0 cat >/dev/null' cat "$src"
done
rm -f "$shm"/*

echo "orvex burn benchmark, $(nproc) cores, $(date -u +%Y-%m-%d): $gib GiB in four files, $runs runs, medians"
echo "load: $(uptime | sed 's/.*load average: //')"
echo
floor_wall=$(awk '{ print $1 }' "$work/cat.times" | median)
floor_cpu=$(awk '{ print $2 + $3 }' "$work/cat.times" | median)
echo "| job | wall s | MiB/s | best run MiB/s | CPU s | CPU s per GiB | peak RSS MiB | wall / cat | CPU / cat |"
echo "|---|---|---|---|---|---|---|---|---|"
for name in burn-at-once burn-posted mkiso cat cat-null; do
  wall=$(awk '{ print $1 }' "$work/$name.times" | median)
  best=$(awk '{ print $1 }' "$work/$name.times" | sort -n | head -1)
  cpu=$(awk '{ print $2 + $3 }' "$work/$name.times" | median)
  rss=$(awk '{ print $4 }' "$work/$name.times" | median)
  case $name in
    burn-at-once) label="orvex burn, RAM-backed BD-R, unthrottled, burner answers at once" ;;
    burn-posted) label="orvex burn, the same, burner answers through its post event" ;;
    mkiso) label="orvex mkiso to a file in /dev/shm" ;;
    cat) label="cat of the files into one file in /dev/shm (the floor)" ;;
    cat-null) label="cat of the files to /dev/null (reading alone)" ;;
  esac
  awk -v l="$label" -v w="$wall" -v b="$best" -v c="$cpu" -v r="$rss" -v g="$gib" -v fw="$floor_wall" -v fc="$floor_cpu" 'BEGIN {
    printf "| %s | %.2f | %.0f | %.0f | %.2f | %.2f | %.1f | %.2f | %.2f |\n", l, w, g * 1024 / w, g * 1024 / b, c, c / g, r / 1024,
      w / fw, (fc > 0 ? c / fc : 0) }'
done

# (2) 16x DVD in real time (about two minutes; REALTIME=0 leaves it out):
# the buffer fill from the command log.
[ "${REALTIME:-1}" = 1 ] || exit 0
"$vburner" new dvd+r "$shm/dvd+r.vmed" >/dev/null
log=$work/burn16x.log
ORVEX_VBURNER="0:0:0,class=dvd-writer,dvdspeed=16,medium=$shm/dvd+r.vmed;timescale=1" \
  /usr/bin/time -f '%e' -o "$work/16x.time" "$orvex" burn -q --no-pass-through --speed 16 --log "$log" "$src" >/dev/null
# A READ BUFFER CAPACITY line carries the answer after "| ": bytes 4-7 the
# buffer's length, 8-11 its blank length.
polls=0 lowest="" full=0
while read -r -a b; do
  size=$((16#${b[4]}${b[5]}${b[6]}${b[7]})) blank=$((16#${b[8]}${b[9]}${b[10]}${b[11]}))
  [ "$size" -gt 0 ] || continue
  fill=$(((size - blank) * 1000 / size))
  polls=$((polls + 1))
  [ "$fill" -ge 990 ] && full=1
  if [ "$full" = 1 ] && { [ -z "$lowest" ] || [ "$fill" -lt "$lowest" ]; }; then lowest=$fill; fi
done < <(grep 'READ BUFFER CAPACITY' "$log" | sed 's/.*| //')
echo
echo "16x DVD+R in real time: $(cat "$work/16x.time") s, $polls buffer polls;" \
  "lowest fill once the buffer had filled: ${lowest:+$((lowest / 10)).$((lowest % 10))%}"
"$vburner" show "$shm/dvd+r.vmed" | head -3
