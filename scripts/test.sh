#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and an
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES
ensure_packages $ORVEX_TEST_PACKAGES

run_suite() {
  local dir=$1
  ctest --test-dir "$dir" --output-on-failure -j "$ORVEX_JOBS" ||
    { echo "orvex: tests failed in $dir" >&2; exit 1; }
}

build_tree "$ORVEX_ROOT/build/release" RelWithDebInfo
run_suite "$ORVEX_ROOT/build/release"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
build_tree "$ORVEX_ROOT/build/asan" Debug -DORVEX_SANITIZE=address,undefined -DORVEX_BUILD_BENCH=OFF
run_suite "$ORVEX_ROOT/build/asan"

echo "orvex: all tests passed (normal and sanitizer builds)"
