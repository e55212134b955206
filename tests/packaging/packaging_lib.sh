# SPDX-License-Identifier: Apache-2.0
# Shared by install_check.sh and package_check.sh.  Sourced, not run.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_files PREFIX PATH...: each PATH (a glob; LIB stands for the
# library folder, which may carry the machine's triplet) names a file
# below PREFIX.
expect_files() {
  local prefix=$1 path lib
  shift
  lib=$(library_dir "$prefix")
  lib=${lib#"$prefix"/}
  for path in "$@"; do
    # shellcheck disable=SC2206
    local found=($prefix/${path/LIB/$lib})
    [ -e "${found[0]}" ] || fail "not installed: ${path/LIB/$lib}"
  done
}

# What each package holds, relative to the prefix.  Every package carries
# its copyright file and changelog.
package_docs() { echo "share/doc/$1/copyright share/doc/$1/changelog.gz"; }
# shellcheck disable=SC2207
INSTALLED_LIB=(LIB/liborvex.so.0 "LIB/liborvex.so.0.*" $(package_docs liborvex0))
# shellcheck disable=SC2207
INSTALLED_DEV=(include/orvex/component/orvex.h include/orvex/platform/object.h include/orvex/vburner/vburner.h
  LIB/liborvex.so LIB/liborvex.a LIB/cmake/Orvex/OrvexConfig.cmake LIB/cmake/Orvex/OrvexConfigVersion.cmake
  LIB/pkgconfig/orvex.pc "share/orvex/schema/*.json" $(package_docs liborvex-dev))
# shellcheck disable=SC2207
INSTALLED_TOOLS=(bin/orvex bin/orvex-vburner LIB/orvex/liborvex-vburner.so share/man/man1/orvex.1.gz
  share/man/man1/orvex-vburner.1.gz share/bash-completion/completions/orvex share/zsh/vendor-completions/_orvex
  $(package_docs orvex))
# shellcheck disable=SC2207
INSTALLED_DESKTOP=(bin/orvex-demo share/applications/orvex-demo.desktop
  share/icons/hicolor/scalable/apps/orvex-demo.svg share/doc/orvex-demo/README.md share/man/man1/orvex-demo.1.gz
  $(package_docs orvex-demo))

# library_dir PREFIX: the folder of liborvex.so.0 below PREFIX.
library_dir() {
  dirname "$(find "$1" -name liborvex.so.0 -print -quit)"
}

# check_programs PREFIX WORK: the installed orvex runs from PREFIX as it
# stands (no LD_LIBRARY_PATH) and finds the burner's driver library in the
# installation (not beside itself).
check_programs() {
  local prefix=$1 work=$2
  "$prefix/bin/orvex" --version | grep -qx "orvex [0-9.]*" || fail "orvex --version"
  "$prefix/bin/orvex-vburner" --version | grep -qx "orvex-vburner [0-9.]*" || fail "orvex-vburner --version"
  if [ -e "$prefix/bin/orvex-demo" ]; then
    "$prefix/bin/orvex-demo" --version | grep -qx "orvex-demo [0-9.]*" || fail "orvex-demo --version"
  fi
  "$prefix/bin/orvex-vburner" new dvd+r "$work/disc.vmed" >/dev/null
  ORVEX_VBURNER="0:1:0,class=dvd-writer,medium=$work/disc.vmed" "$prefix/bin/orvex" devices |
    grep -q "VIRTUAL" || fail "the installed orvex does not find the installed driver library"
}

# check_consumers PREFIX SOURCE WORK [SYSROOT]: examples/consumer builds
# against the installation through its CMake package (shared and static)
# and through orvex.pc, and each program makes an image that the installed
# orvex lists.  orvex.pc names the prefix it was installed under; SYSROOT is
# where that prefix was unpacked instead (the packages' scratch root).
check_consumers() {
  local prefix=$1 source=$2 work=$3 sysroot=${4:-}
  local libs kind
  libs=$(library_dir "$prefix")
  for kind in shared static; do
    local static=OFF
    [ "$kind" = static ] && static=ON
    cmake -S "$source/examples/consumer" -B "$work/consumer-$kind" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
      -DORVEX_STATIC=$static >/dev/null || fail "configuring the consumer ($kind) against $prefix"
    cmake --build "$work/consumer-$kind" >/dev/null || fail "building the consumer ($kind)"
  done
  ! ldd "$work/consumer-static/consumer" | grep -q liborvex || fail "the static consumer needs liborvex.so"
  local cflags
  cflags=$(PKG_CONFIG_PATH=$libs/pkgconfig pkg-config --cflags orvex | xargs)
  [ "$cflags" = "-I${prefix#"$sysroot"}/include/orvex" ] || fail "orvex.pc gives the flags $cflags"
  # shellcheck disable=SC2046
  c++ -std=c++20 -o "$work/consumer-pc" "$source/examples/consumer/main.cpp" \
    $(PKG_CONFIG_PATH=$libs/pkgconfig PKG_CONFIG_SYSROOT_DIR=$sysroot pkg-config --cflags --libs orvex) ||
    fail "building the consumer with orvex.pc"
  for program in consumer-shared/consumer consumer-static/consumer consumer-pc; do
    rm -f "$work/out.iso"
    LD_LIBRARY_PATH=$libs "$work/$program" "$source/examples/sample-disc" "$work/out.iso" >"$work/said" ||
      fail "$program failed"
    grep -q "^$work/out.iso: Orvex [0-9.]*, [0-9]* files and directories" "$work/said" || fail "$program said $(cat "$work/said")"
    "$prefix/bin/orvex" ls "$work/out.iso" 2>/dev/null | grep -q README.txt ||
      fail "the image of $program does not list README.txt"
  done
  check_burner_control "$prefix" "$source" "$work"
}

# check_burner_control PREFIX SOURCE WORK: a test program of another project
# (examples/vburner_faults.c) compiles against the installed control header
# of the virtual burner, links its installed driver library and injects
# faults; the installed man page of orvex-vburner names every function the
# header declares.
check_burner_control() {
  local prefix=$1 source=$2 work=$3
  local driver
  driver=$(library_dir "$prefix")/orvex
  cc -std=c11 -Wall -Wextra -Werror -o "$work/vburner_faults" "$source/examples/vburner_faults.c" \
    -I"$prefix/include/orvex" -L"$driver" -lorvex-vburner -Wl,-rpath,"$driver" ||
    fail "building a program against the installed vburner.h"
  [ "$("$work/vburner_faults" "$work/faults.vmed")" = "faults armed" ] || fail "vburner_faults failed"
  local page functions function
  page=$(zcat "$prefix/share/man/man1/orvex-vburner.1.gz" | groff -man -Tascii -P-cbou)
  functions=$(grep -o '\bvb_[a-z_]*(' "$prefix/include/orvex/vburner/vburner.h" | tr -d '(' | sort -u)
  [ -n "$functions" ] || fail "the installed vburner.h declares no vb_ function"
  for function in $functions; do
    grep -qw "$function" <<<"$page" || fail "man orvex-vburner does not name $function"
  done
}
