#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# install_check.sh BUILD SOURCE WORK: `cmake --install` of the build tree
# into WORK/prefix puts every file in its GNU folder, the shared library
# carries its SONAME and exports the public API only, and applications
# build against the installation.
source "$(dirname "$0")/packaging_lib.sh"
build=$1 source=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
expect_files "$prefix" "${INSTALLED_LIB[@]}" "${INSTALLED_DEV[@]}" "${INSTALLED_TOOLS[@]}"
if [ -e "$build/bin/orvex-demo" ]; then
  expect_files "$prefix" "${INSTALLED_DESKTOP[@]}"
  desktop-file-validate "$prefix/share/applications/orvex-demo.desktop" || fail "the desktop entry is not valid"
fi

library=$(library_dir "$prefix")/liborvex.so.0
readelf -d "$library" | grep -q 'SONAME.*\[liborvex\.so\.0\]' || fail "liborvex.so has no SONAME liborvex.so.0"
# Every exported name is Orvex's public face: no internals, no copies of the
# standard library's templates that a program could bind to by mistake.
exports=$(nm -DC --defined-only "$library" | awk '{ $1 = ""; $2 = ""; print substr($0, 3) }')
echo "$exports" | grep -q '^orvex::TOrvex::TOrvex(' || fail "TOrvex's constructor is not exported"
strays=$(echo "$exports" | grep -vE '^((typeinfo|typeinfo name|vtable) for )?orvex::|^ORVEX_0$' || true)
[ -z "$strays" ] || fail "exported beyond the public API: $(echo "$strays" | head -5)"
internals=$(echo "$exports" | grep -E 'orvex::(BuildLayout|TPacketRing|TWriteJob|SendCommand|TContentTree)' || true)
[ -z "$internals" ] || fail "internals exported: $(echo "$internals" | head -5)"

check_programs "$prefix" "$work"
check_consumers "$prefix" "$source" "$work"
echo "install_check: passed"
