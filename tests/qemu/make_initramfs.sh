#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the test guest's initramfs: a static busybox, the programs a test
# runs and every shared library they load (the dynamic loader among them),
# the kernel modules that bring up an ATAPI CD-ROM on QEMU's IDE (PIIX) and
# AHCI controllers with the order to load them in, the guest's /init and
# the commands it is to run.
#
# usage: make_initramfs.sh --out FILE --modules DIR --busybox FILE --init FILE
#                          --commands FILE [--bin PROGRAM]...
#   DIR is the kernel's module tree, /lib/modules/VERSION.
# The archive is an uncompressed newc cpio: the guest unpacks it faster than
# it would inflate one, and the kernel takes it without any decompressor.
set -euo pipefail

# ata_piix drives the IDE channels of QEMU's default (i440FX) machine, where
# -cdrom puts the drive; ahci the SATA ports of a q35 machine; sr_mod makes
# /dev/srN of whatever ATAPI drive libata finds there, sg /dev/sgN beside
# it.  configfs,
# target_core_user and tcm_loop put the virtual burner on a SCSI bus of
# its own (orvex-vburner attach); isofs mounts a disc burnt there, as a
# user would read it.
readonly WANTED_MODULES="ata_piix ahci sr_mod sg configfs target_core_user tcm_loop isofs"

die() {
  echo "make_initramfs: $*" >&2
  exit 1
}

out="" modules="" busybox="" init="" commands=""
programs=()
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || die "$1 needs a value"
  case "$1" in
    --out) out=$2 ;;
    --modules) modules=$2 ;;
    --busybox) busybox=$2 ;;
    --init) init=$2 ;;
    --commands) commands=$2 ;;
    --bin) programs+=("$2") ;;
    *) die "unknown option $1" ;;
  esac
  shift 2
done
[ -n "$out" ] && [ -n "$modules" ] && [ -n "$busybox" ] && [ -n "$init" ] && [ -n "$commands" ] ||
  die "usage: make_initramfs.sh --out FILE --modules DIR --busybox FILE --init FILE --commands FILE [--bin PROGRAM]..."
[ -f "$modules/modules.dep" ] || die "$modules/modules.dep is missing: not a kernel module tree"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,orvex/bin,orvex/modules}

# install_file SOURCE DEST: copies SOURCE to DEST inside the guest's root,
# without the debug sections, which only make the archive slower to load.
install_file() {
  local source=$1 dest=$root$2
  mkdir -p "$(dirname "$dest")"
  if command -v strip >/dev/null; then
    strip --strip-debug -o "$dest" "$source" 2>/dev/null || cp -L "$source" "$dest"
  else
    cp -L "$source" "$dest"
  fi
  chmod 0755 "$dest"
}

# Every shared object PROGRAM needs, at the path the host's loader found it
# under, so that the guest's loader finds it at the same place.
library_dirs=()
install_libraries() {
  local program=$1 listing lib
  if ! listing=$(ldd "$program" 2>&1); then
    # ldd fails on a static program, which needs nothing.
    case "$listing" in
      *"not a dynamic executable"*) return 0 ;;
      *) die "ldd $program: $listing" ;;
    esac
  fi
  if grep -q "not found" <<<"$listing"; then
    die "$program needs libraries this machine lacks: $(grep "not found" <<<"$listing" | tr -s '\n\t' ' ')"
  fi
  # The absolute paths: "libx.so => /path (0x...)" and the loader's "/path (0x...)".
  for lib in $(awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^\//) print $i }' <<<"$listing"); do
    [ -e "$root$lib" ] && continue
    install_file "$lib" "$lib"
    library_dirs+=("$(dirname "$lib")")
  done
}

install_file "$busybox" /bin/busybox
install_libraries "$busybox"
for program in "${programs[@]}"; do
  [ -x "$program" ] || die "$program is not an executable file"
  install_file "$program" "/orvex/bin/$(basename "$program")"
  install_libraries "$program"
done
# Where the host's loader took a library from a directory that only its
# cache names, the guest's loader (which has no cache) still finds it.
printf '%s\n' "${library_dirs[@]}" | sort -u | paste -sd: >"$root/orvex/library_path"

# The wanted modules and all they depend on, each after its dependencies.
declare -A added=()
order=()
add_module() {
  local path=$1 dep
  [ -n "${added[$path]:-}" ] && return 0
  added[$path]=1
  for dep in $(awk -v m="$path:" '$1 == m { for (i = 2; i <= NF; i++) print $i }' "$modules/modules.dep"); do
    add_module "$dep"
  done
  order+=("$path")
}
for name in $WANTED_MODULES; do
  path=$(awk -F: -v tail="/$name.ko" 'substr($1, length($1) - length(tail) + 1) == tail { print $1; exit }' \
    "$modules/modules.dep")
  if [ -z "$path" ]; then
    # A built-in driver needs no module; one that is neither is missing.
    grep -q "/$name.ko\$" "$modules/modules.builtin" 2>/dev/null && continue
    die "the kernel of $modules has no module $name (compressed modules are not handled)"
  fi
  add_module "$path"
done
: >"$root/orvex/modules.order"
for path in "${order[@]}"; do
  cp "$modules/$path" "$root/orvex/modules/"
  basename "$path" >>"$root/orvex/modules.order"
done

cp "$init" "$root/init"
chmod 0755 "$root/init"
cp "$commands" "$root/orvex/commands"

(cd "$root" && find . -mindepth 1 | LC_ALL=C sort | cpio --quiet -o -H newc -R 0:0) >"$out" ||
  die "cpio could not write $out"
