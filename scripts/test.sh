#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds and runs every test twice, a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build; the threaded suites (pipeline,
# component, services, virtual burner) once more under ThreadSanitizer; and
# the fuzz target briefly.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages $ORVEX_BUILD_PACKAGES $ORVEX_TEST_PACKAGES

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

# The threaded suites under ThreadSanitizer.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
threaded="pipeline_tests component_tests services_tests vburner_tests drive_tests"
cmake -S "$ORVEX_ROOT" -B "$ORVEX_ROOT/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_WERROR=ON \
  -DORVEX_SANITIZE=thread -DORVEX_BUILD_BENCH=OFF >/dev/null || { echo "orvex: configuring build/tsan failed" >&2; exit 1; }
# shellcheck disable=SC2086
cmake --build "$ORVEX_ROOT/build/tsan" -j "$ORVEX_JOBS" --target $threaded ||
  { echo "orvex: building build/tsan failed" >&2; exit 1; }
ctest --test-dir "$ORVEX_ROOT/build/tsan" --output-on-failure -j "$ORVEX_JOBS" -R "^(${threaded// /|})\$" ||
  { echo "orvex: tests failed under ThreadSanitizer" >&2; exit 1; }

# The fuzz targets, built with clang and libFuzzer, each run briefly.
cmake -S "$ORVEX_ROOT" -B "$ORVEX_ROOT/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVEX_WERROR=ON -DORVEX_FUZZ=ON -DORVEX_SANITIZE=address,undefined \
  -DORVEX_BUILD_BENCH=OFF >/dev/null || { echo "orvex: configuring build/fuzz failed" >&2; exit 1; }
cmake --build "$ORVEX_ROOT/build/fuzz" -j "$ORVEX_JOBS" --target import_fuzzer ||
  { echo "orvex: building the fuzz targets failed" >&2; exit 1; }
ctest --test-dir "$ORVEX_ROOT/build/fuzz" --output-on-failure -L fuzz ||
  { echo "orvex: fuzzing found a fault" >&2; exit 1; }

echo "orvex: all tests passed (normal, sanitizer, thread sanitizer and fuzz builds)"
