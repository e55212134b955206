#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Boots a small QEMU guest whose ATAPI CD-ROM drive holds IMAGE, runs the
# commands of FILE there (see guest_init.sh for their form and for what the
# guest prints) and writes everything the guest's console said to CONSOLE.
#
# usage: run_in_guest.sh --image IMAGE --commands FILE --console CONSOLE [--bin PROGRAM]...
#
# The guest is Debian's newest installed kernel (/boot/vmlinuz-*, with its
# module tree) and an initramfs made by make_initramfs.sh; it has no network
# and 512 MiB (ORVEX_GUEST_MEMORY). KVM is used where it works, software
# emulation otherwise.
#
# Exit status: 0 when the guest ran every command and powered off; 77, with
# the reason on standard error, when this machine cannot run the guest (no
# qemu-system-x86_64, no kernel, no busybox, or QEMU cannot start); 1 when
# anything else failed.
#
# Environment: ORVEX_GUEST_KERNEL (a vmlinuz whose modules are under
# /lib/modules/VERSION), ORVEX_GUEST_ACCEL (kvm or tcg), ORVEX_GUEST_TIME_LIMIT
# (seconds until the guest is stopped, default 1500: under software
# emulation on two busy cores it powers off in 15 to 60 without the attached
# burner's burns, and the burns, erase and verifies of four media add several
# times as much under load), ORVEX_GUEST_SILENCE_LIMIT (seconds the console
# may stay silent before the guest is taken for hung and stopped, default
# 300: a burn with its verify through the kernel says nothing until it ends), ORVEX_GUEST_MEMORY
# (the guest's RAM in MiB, default 512; its files, media included, live
# there), ORVEX_GUEST_BUSYBOX, ORVEX_GUEST_QEMU (the emulator, default
# qemu-system-x86_64 on the PATH).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

die() {
  echo "run_in_guest: $*" >&2
  exit 1
}
skip() {
  echo "run_in_guest: skip: $*" >&2
  exit 77
}

image="" commands="" console=""
programs=()
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || die "$1 needs a value"
  case "$1" in
    --image) image=$2 ;;
    --commands) commands=$2 ;;
    --console) console=$2 ;;
    --bin) programs+=(--bin "$2") ;;
    *) die "unknown option $1" ;;
  esac
  shift 2
done
[ -n "$image" ] && [ -n "$commands" ] && [ -n "$console" ] ||
  die "usage: run_in_guest.sh --image IMAGE --commands FILE --console CONSOLE [--bin PROGRAM]..."
[ -f "$image" ] || die "no image $image"
[ -f "$commands" ] || die "no command file $commands"

qemu=${ORVEX_GUEST_QEMU:-$(command -v qemu-system-x86_64)} ||
  skip "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"

busybox=${ORVEX_GUEST_BUSYBOX:-/bin/busybox}
[ -x "$busybox" ] || skip "no busybox at $busybox (Debian package busybox-static)"

# The newest kernel that has its module tree beside it.
kernel=${ORVEX_GUEST_KERNEL:-}
if [ -z "$kernel" ]; then
  shopt -s nullglob
  for candidate in $(printf '%s\n' /boot/vmlinuz-* | sort -rV); do
    if [ -f "/lib/modules/${candidate#/boot/vmlinuz-}/modules.dep" ]; then
      kernel=$candidate
      break
    fi
  done
  shopt -u nullglob
  [ -n "$kernel" ] || skip "no /boot/vmlinuz-* with a module tree in /lib/modules (Debian package linux-image-amd64)"
fi
[ -r "$kernel" ] || skip "the kernel image $kernel cannot be read"
version=$(basename "$kernel")
version=${version#vmlinuz-}
modules=/lib/modules/$version
[ -f "$modules/modules.dep" ] || skip "the kernel $kernel has no module tree $modules"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# QEMU itself, without a guest: a binary that lacks a library or cannot set
# up its emulator fails here, and only that counts as "cannot run".
if ! printf 'quit\n' | timeout 30 "$qemu" -nodefaults -display none -machine none -monitor stdio \
  >/dev/null 2>"$work/probe.err"; then
  skip "QEMU cannot start: $(tr -s '\n' ' ' <"$work/probe.err")"
fi

# KVM where it works: an openable /dev/kvm is not enough.  Under nested
# virtualisation QEMU may fail to set up the vCPU, or the guest's kernel may
# hang before its first word (seen: nothing after "Probing EDD ... ok").  So
# a vCPU of the kind the guest gets is made and reset once, then the
# guest's own kernel is booted without an initramfs until it has said its
# first line (it then panics for want of a root and QEMU exits at once);
# software emulation (TCG) is used where either fails.
kvm_boot_seconds=20
kernel_speaks_under_kvm() {
  : >"$work/kvm.console"
  timeout --kill-after=2 "$kvm_boot_seconds" "$qemu" -nodefaults -nographic -no-reboot -m 128 -smp 1 \
    -accel kvm -cpu host -nic none -monitor none -serial "file:$work/kvm.console" -kernel "$kernel" \
    -append "console=ttyS0 panic=-1 loglevel=6 no_timer_check" </dev/null >/dev/null 2>&1 || true
  grep -q 'Linux version' "$work/kvm.console"
}
accel=${ORVEX_GUEST_ACCEL:-}
accel_note=""
if [ -z "$accel" ]; then
  accel=tcg
  if [ -c /dev/kvm ]; then
    # In a subshell whose own words go nowhere: bash reports QEMU's abort
    # there, and kvm.err already holds QEMU's reason.
    if ! (printf 'quit\n' | timeout 30 "$qemu" -nodefaults -display none -machine pc -accel kvm -cpu host -m 64 -S \
      -monitor stdio >/dev/null 2>"$work/kvm.err") 2>/dev/null; then
      accel_note=" (KVM does not work here: $(grep -m 1 -v '^$' "$work/kvm.err" || true))"
    elif ! kernel_speaks_under_kvm; then
      accel_note=" (KVM does not work here: the kernel said nothing within $kvm_boot_seconds s)"
    else
      accel=kvm
    fi
  fi
fi
case "$accel" in
  kvm) accel_args=(-accel kvm -cpu host) ;;
  # One host thread for the emulated CPU: Debian 12's QEMU with its own
  # kernel hangs early in boot under multi-threaded TCG on some hosts (the
  # console stops after "Probing EDD"), and one vCPU gains nothing from it.
  tcg) accel_args=(-accel tcg,thread=single) ;;
  *) die "ORVEX_GUEST_ACCEL is kvm or tcg, not $accel" ;;
esac

"$here/make_initramfs.sh" --out "$work/initramfs.cpio" --modules "$modules" --busybox "$busybox" \
  --init "$here/guest_init.sh" --commands "$commands" "${programs[@]}"

limit=${ORVEX_GUEST_TIME_LIMIT:-1500}
silence_limit=${ORVEX_GUEST_SILENCE_LIMIT:-300}
memory=${ORVEX_GUEST_MEMORY:-512}
: >"$console"
start=$(date +%s%N)
# -nodefaults leaves out the network card, the display and the floppy
# drive; panic=-1 turns a kernel panic into a reboot, which -no-reboot turns
# into QEMU's exit, so no failure waits for the time limit.  no_timer_check
# skips the kernel's check that the timer interrupt arrives through the
# IO-APIC within a few ticks: under software emulation on a busy host it
# may not, and the kernel then panics.  The kernel
# tells its boot on the console (loglevel 6) until /init quiets it, so that
# a guest that hangs shows where.
timeout --kill-after=5 "$limit" "$qemu" -nodefaults -nographic -no-reboot -m "$memory" -smp 1 "${accel_args[@]}" \
  -nic none -monitor none -serial "file:$console" \
  -kernel "$kernel" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 panic=-1 loglevel=6 no_timer_check rdinit=/init" \
  -cdrom "$image" </dev/null >"$work/qemu.out" 2>&1 &
guest=$!

# A guest whose console says nothing for silence_limit seconds is hung:
# it is stopped then, not at the time limit.
status=0 silent=0 said=0 hung=0
while kill -0 "$guest" 2>/dev/null; do
  sleep 1
  now=$(stat -c %s "$console" 2>/dev/null || echo 0)
  if [ "$now" -ne "$said" ]; then
    said=$now silent=0
  elif [ $((silent += 1)) -ge "$silence_limit" ]; then
    hung=1
    pkill -KILL -P "$guest" 2>/dev/null || true
    kill -KILL "$guest" 2>/dev/null || true
    break
  fi
done
# (In braces: bash's own word on the job it killed goes nowhere.)
{ wait "$guest"; } 2>/dev/null || status=$?
end=$(date +%s%N)
elapsed=$(((end - start) / 1000000))
seconds=$(printf '%d.%03d' $((elapsed / 1000)) $((elapsed % 1000)))

[ -s "$work/qemu.out" ] && sed 's/^/run_in_guest: qemu: /' "$work/qemu.out" >&2
# The console's last lines, for a failure message.
tail_of_console() {
  tr -d '\r' <"$console" | grep -v '^$' | tail -n 8 | sed 's/^/  | /'
}
if [ "$hung" -eq 1 ]; then
  die "the guest's console said nothing for $silence_limit s ($accel, after $seconds s); it ended with:
$(tail_of_console)"
fi
case "$status" in
  0) ;;
  124 | 137) die "the guest did not power off within $limit s ($accel); its console ended with:
$(tail_of_console)" ;;
  *) die "qemu-system-x86_64 failed with status $status after $seconds s" ;;
esac
failure=$(sed -n 's/\r$//; /^@@orvex-guest fail /{s///p;q}' "$console")
[ -z "$failure" ] || die "the guest failed: $failure"
grep -q '^@@orvex-guest done' "$console" || die "the guest stopped before its last command; its console ended with:
$(tail_of_console)"
echo "run_in_guest: kernel $version, $accel$accel_note: boot to power-off in $seconds s" >&2
