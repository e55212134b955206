#!/bin/busybox sh
# SPDX-License-Identifier: Apache-2.0
# /init of the test guest. Brings up the CD-ROM drive, runs each line of
# /orvex/commands ("NAME COMMAND...", COMMAND for busybox sh) and reports
# it on the console, then powers the machine off.
#
# Every line the host reads starts with "@@orvex-guest ":
#   ready UPTIME           the drive is there; commands follow
#   begin NAME             a command starts
#   out HEX... / err HEX...  its standard output / error, byte for byte, in hex
#   end NAME STATUS        it ended with exit status STATUS
#   fail REASON            the guest could not go on
#   done UPTIME            the last line before power-off
# Text output is also shown as it is, behind "| ", for whoever reads the log;
# the hex lines are what counts, since the console's line discipline and any
# stray kernel message would otherwise blur exactly what a program wrote.
set -euo pipefail

/bin/busybox --install -s
export PATH=/orvex/bin:/usr/sbin:/usr/bin:/sbin:/bin

say() { echo "@@orvex-guest $*"; }

# Whatever stops this script, the guest powers off (with -no-reboot QEMU
# then exits); the kernel would panic if init simply returned.
finish() {
  status=$?
  [ "$status" -eq 0 ] || say "fail init stopped with status $status"
  say "done $(cut -d ' ' -f 1 /proc/uptime)"
  poweroff -f
}
trap finish EXIT

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# What a full system's early boot makes and burning programs rely on: the
# open descriptors as files (a program hands its open drive to a helper
# as /dev/fd/N) and the mount table at its traditional place.
ln -s /proc/self/fd /dev/fd
mkdir -p /etc
ln -s /proc/mounts /etc/mtab
exec </dev/console >/dev/console 2>&1
# Only emergencies from the kernel from here on, so that nothing it says
# lands between the markers.
echo 1 >/proc/sys/kernel/printk
# The firmware's last words end without a newline; a marker starts a line.
echo

while IFS= read -r module; do
  insmod "/orvex/modules/$module" || { say "fail insmod $module failed"; exit 1; }
done </orvex/modules.order

# libata probes the ports and the SCSI layer scans them in the background;
# the node appears when sr_mod has taken the drive. A bounded wait: under
# emulation this takes a few seconds at most.
tries=0
until [ -b /dev/sr0 ]; do
  if [ "$tries" -ge 300 ]; then
    say "fail no /dev/sr0 within 30 s of loading the modules"
    exit 1
  fi
  usleep 100000
  tries=$((tries + 1))
done
say "ready $(cut -d ' ' -f 1 /proc/uptime)"

LD_LIBRARY_PATH=$(cat /orvex/library_path)
export LD_LIBRARY_PATH
cd /tmp

# show NAME FILE STREAM: the text copy (or its size, when FILE is not plain
# printable ASCII text) and the hex lines of FILE.
show() {
  # Counted whole: a reader that stopped early would fail the pipe.
  unprintable=$(tr -d '\t\n -~' <"$2" | wc -c)
  if [ "$unprintable" -gt 0 ]; then
    say "note $1 $3 holds $(wc -c <"$2") bytes that are not plain text"
  else
    sed 's/^/| /' "$2"
    # A last line without its newline would swallow the marker after it.
    if [ -s "$2" ] && [ "$(tail -c 1 "$2" | wc -l)" -eq 0 ]; then echo; fi
  fi
  od -An -v -tx1 "$2" | sed "s/^ */@@orvex-guest $3 /"
}

while IFS= read -r line; do
  name=${line%% *}
  command=${line#* }
  say "begin $name"
  status=0
  sh -c "$command" </dev/null >/tmp/out 2>/tmp/err || status=$?
  show "$name" /tmp/out out
  show "$name" /tmp/err err
  say "end $name $status"
done </orvex/commands
