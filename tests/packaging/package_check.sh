#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# package_check.sh BUILD SOURCE WORK: cpack makes the four Debian packages
# with their dependencies on each other, and lintian finds no error and no
# warning in them; unpacked into a scratch root, the programs run and
# applications build from there.
source "$(dirname "$0")/packaging_lib.sh"
build=$1 source=$2 work=$3
rm -rf "$work" && mkdir -p "$work/root"

cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")

# field PACKAGE FIELD: a field of the package's control file.
field() { dpkg-deb -f "$work/debs/$1_${version}_amd64.deb" "$2"; }
packages="liborvex0 liborvex-dev orvex"
[ -e "$build/bin/orvex-demo" ] && packages="$packages orvex-demo"
for package in $packages; do
  [ -e "$work/debs/${package}_${version}_amd64.deb" ] || fail "no package $package"
  dpkg -x "$work/debs/${package}_${version}_amd64.deb" "$work/root"
done
field liborvex0 Depends | grep -q 'libstdc++6' || fail "liborvex0 does not depend on libstdc++6"
dpkg-deb -I "$work/debs/liborvex0_${version}_amd64.deb" shlibs | grep -q "^liborvex 0 liborvex0" ||
  fail "liborvex0 has no shlibs entry"
for package in liborvex-dev orvex; do
  field $package Depends | grep -qF "liborvex0 (= $version)" || fail "$package does not depend on liborvex0 (= $version)"
done
if [[ $packages == *orvex-demo* ]]; then
  field orvex-demo Depends | grep -q 'libqt6widgets6' || fail "orvex-demo does not depend on Qt 6 Widgets"
  field orvex-demo Recommends | grep -qF "orvex (= $version)" || fail "orvex-demo does not recommend orvex"
fi

# A maintainer's review: any error or warning of lintian fails the check.
debs=()
for package in $packages; do debs+=("$work/debs/${package}_${version}_amd64.deb"); done
lintian --fail-on error,warning "${debs[@]}" >"$work/lintian.log" 2>&1 ||
  { grep -v '^running with root' "$work/lintian.log" >&2; fail "lintian"; }
# Each package's changelog is of this version; the static library went in
# without its debug information.
for package in $packages; do
  changed=$(zcat "$work/root/usr/share/doc/$package/changelog.gz" | dpkg-parsechangelog -l- -SVersion)
  [ "$changed" = "$version" ] || fail "$package's changelog is of version $changed"
done
objdump -h "$(library_dir "$work/root")/liborvex.a" >"$work/sections"
! grep -q '\.debug_info' "$work/sections" || fail "liborvex-dev's liborvex.a carries debug information"

root=$work/root/usr
expect_files "$root" "${INSTALLED_LIB[@]}" "${INSTALLED_DEV[@]}" "${INSTALLED_TOOLS[@]}"
[[ $packages != *orvex-demo* ]] || expect_files "$root" "${INSTALLED_DESKTOP[@]}"
# Every file lies in exactly one package.
total=$(find "$work/root" -type f -o -type l | wc -l)
listed=$(for package in $packages; do dpkg-deb -c "$work/debs/${package}_${version}_amd64.deb"; done | grep -vc '/$')
[ "$total" -eq "$listed" ] || fail "$listed packaged entries unpack to $total files"

check_programs "$root" "$work"
check_consumers "$root" "$source" "$work" "$work/root"
echo "package_check: passed"
