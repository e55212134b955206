#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The guest's half of bench/guest_burn_bench.sh, run there by the test
# guest's /init: burns and verifies MIB MiB in four files on the virtual
# burner attached as a kernel SCSI device, RUNS timed runs after one
# warm-up, every program on the same burner through /dev/srN.
#
# usage: guest_burn_steps.sh MIB RUNS
#
# Standard output: one line per timed step, "time RUN NAME SECONDS" (RUN 0
# is the warm-up), and one "check NAME STATUS TEXT" line per check of what a
# program burned or compared.  Progress goes to the console itself, so that
# the host sees the guest alive through a long step.
set -eu
mib=$1
runs=$2
src=/tmp/bench/src
image=/tmp/bench/image.iso

progress() { echo "@@bench $*" >/dev/console; }
now() { cut -d ' ' -f 1 /proc/uptime; }

# timed RUN NAME COMMAND...: one timed run of COMMAND; its output is kept
# in /tmp/bench/NAME.log for the checks, and a failure stops the bench.
timed() {
  run=$1 name=$2
  shift 2
  progress "run $run: $name"
  start=$(now)
  status=0
  "$@" >"/tmp/bench/$name.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    progress "$name failed with status $status: $(tail -n 5 "/tmp/bench/$name.log" | tr '\n' ' ')"
    progress "the burner said: $(tail -n 5 /tmp/bench/attach.err | tr '\n' ' ')"
    progress "memory: $(free -m | tr -s '\n ' ' ')"
    exit 1
  fi
  end=$(now)
  echo "time $run $name $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }')"
}

# fresh: the burner attached anew with a blank BD-R whose blocks lie in the
# guest's RAM; sets dev to its block device.  Burning time runs a billion
# times faster than a real drive's, so the drive never holds a program back.
attach_pid=""
fresh() {
  if [ -n "$attach_pid" ]; then
    orvex-vburner detach >/dev/null
    wait "$attach_pid" || true
  fi
  rm -f /tmp/bench/bd-r.vmed /tmp/bench/bd-r.vmed.blocks
  orvex-vburner new bd-r /tmp/bench/bd-r.vmed >/dev/null
  : >/tmp/bench/attach.out
  orvex-vburner attach --timescale 1000000000 /tmp/bench/bd-r.vmed >/tmp/bench/attach.out 2>/tmp/bench/attach.err &
  attach_pid=$!
  tries=0
  until grep -q '^drive' /tmp/bench/attach.out; do
    if ! kill -0 "$attach_pid" 2>/dev/null || [ "$tries" -ge 600 ]; then
      progress "attach failed: $(cat /tmp/bench/attach.err)"
      exit 1
    fi
    usleep 100000
    tries=$((tries + 1))
  done
  dev=$(awk '$1 == "drive" { print $3; exit }' /tmp/bench/attach.out)
}

# check NAME: what the burner holds now matches the sources, by our verify
# (it reads the disc through the same device); untimed.
check() {
  status=0
  orvex verify -q -d "$dev" "$src" >/tmp/bench/check.log 2>&1 || status=$?
  echo "check $1 $status $(tail -n 1 /tmp/bench/check.log)"
}

# compared: xorriso's own finding on the disc against the sources (it
# exits 0 with differences too).
compared() {
  status=1
  grep -q '^Both file objects match' /tmp/bench/xorriso-compare.log && status=0
  echo "check xorriso-compare $status $(grep -m 1 -e '^Both file objects match' -e '^Differences detected' \
    /tmp/bench/xorriso-compare.log)"
}

mkdir -p /tmp/bench /sys/kernel/config
mount -t configfs none /sys/kernel/config
progress "making $mib MiB in four files"
per_file=$((mib * 1048576 / 4))
gen_tree "$src" 4 0 "$per_file" "$per_file"
orvex mkiso -q -o "$image" "$src"

for run in $(seq 0 "$runs"); do
  timed "$run" cat sh -c "gcat $src/* >/dev/null"
  fresh
  timed "$run" orvex-burn orvex burn -q -d "$dev" "$src"
  timed "$run" orvex-verify orvex verify -q -d "$dev" "$src"
  timed "$run" xorriso-compare xorriso -indev "$dev" -compare_r "$src" /
  timed "$run" md5sum sh -c "md5sum $src/* >/dev/null"
  [ "$run" -ne "$runs" ] || compared
  fresh
  timed "$run" xorriso-burn xorriso -outdev "$dev" -map "$src" / -commit
  [ "$run" -ne "$runs" ] || check xorriso-burn
  fresh
  timed "$run" cdrskin-tao cdrskin dev="$dev" gracetime=0 -tao "$image"
  [ "$run" -ne "$runs" ] || check cdrskin-tao
  fresh
  timed "$run" orvex-burn-image orvex burn-image -q -d "$dev" "$image"
  [ "$run" -ne "$runs" ] || check orvex-burn-image
done
orvex-vburner detach >/dev/null
progress "done"
