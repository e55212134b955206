# SPDX-License-Identifier: Apache-2.0
# Shared by the quick-start scripts: package checks and the two build trees.
# Sourced, not run.

ORVEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ORVEX_JOBS=${ORVEX_JOBS:-$(nproc)}

# Debian packages every build needs.
ORVEX_BUILD_PACKAGES="cmake ninja-build g++ libgtest-dev libgmock-dev"
# Debian packages of the desktop program (orvex-demo is built when they are
# there): Qt 6 Widgets and a font.
ORVEX_GUI_PACKAGES="qt6-base-dev fonts-dejavu-core"
# Debian packages the tests add: the JSON Schema validator that judges what
# orvex --json prints, the image makers and readers that judge our images
# and the burning programs that burn to the attached burner in the guest,
# the fuzz target's compiler and runtime, openssl for bench/md5_bench.sh,
# and the QEMU guest that tests the kernel's CD-ROM driver (the emulator, a
# kernel with its modules, a static busybox and cpio for its initramfs),
# the desktop program with an X server to run it in and xdotool to type,
# groff to read the man pages and zsh to load its completion script, and
# what the installation and package checks use: dpkg-dev and file for
# cpack's Debian packages, lintian to review them, pkg-config,
# desktop-file-validate.
ORVEX_TEST_PACKAGES="python3-jsonschema python3-pycdlib genisoimage xorriso growisofs wodim libarchive-tools p7zip-full udftools clang libclang-rt-14-dev openssl
  groff-base zsh
  qemu-system-x86 linux-image-amd64 busybox-static cpio
  $ORVEX_GUI_PACKAGES xvfb xauth xdotool
  dpkg-dev file lintian pkgconf desktop-file-utils"

# ensure_packages PKG...: installs what is missing when run as root,
# otherwise names what is missing and stops.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "orvex: missing Debian packages: ${missing[*]}" >&2
    echo "orvex: install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "orvex: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >&2 || { echo "orvex: apt-get update failed" >&2; exit 1; }
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2 ||
    { echo "orvex: could not install ${missing[*]}" >&2; exit 1; }
}

# configure_tree DIR BUILD_TYPE [CMAKE_ARGS...]: configures DIR (quietly).
# The trees are laid out for /usr, where the Debian packages install (the
# library in the machine's multiarch folder); `cmake --install --prefix`
# puts an installation anywhere else.
configure_tree() {
  local dir=$1 type=$2
  shift 2
  cmake -S "$ORVEX_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DORVEX_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null ||
    { echo "orvex: configuring $dir failed" >&2; exit 1; }
}

# build_tree DIR BUILD_TYPE [CMAKE_ARGS...]: configures and builds DIR.
build_tree() {
  local dir=$1
  configure_tree "$@"
  cmake --build "$dir" -j "$ORVEX_JOBS" || { echo "orvex: building $dir failed" >&2; exit 1; }
}

# build_targets DIR BUILD_TYPE TARGET...: configures DIR and builds only the
# TARGETs, quietly: the build's output is shown only when it fails.
build_targets() {
  local dir=$1 type=$2
  shift 2
  configure_tree "$dir" "$type"
  local log
  log=$(mktemp)
  if ! cmake --build "$dir" -j "$ORVEX_JOBS" --target "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "orvex: building $* in $dir failed" >&2
    exit 1
  fi
  rm -f "$log"
}
