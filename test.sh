#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test: unit, live (against a throwaway MariaDB server that a
# CTest fixture starts and stops) and root (skipped unless run as root); then
# runs the driver's thread tests in a ThreadSanitizer build of their own
# (KX_TSAN_CHECK=0 skips it); then builds the archive fuzz target with clang
# and runs it for KX_FUZZ_SECONDS seconds (60 unless set; 0 skips it).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKX_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
# Whatever happens, leave no server running.
trap './tests/fixtures/mariadb_stop.sh "$build/mariadb" >/dev/null 2>&1 || true' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
if [ "${KX_TSAN_CHECK:-1}" != 0 ]; then
  tsan=build-tsan
  cmake -S . -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DKX_TSAN=ON >/dev/null
  cmake --build "$tsan" -j"$(nproc)" --target nativeaccess_unit_tests
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} ctest --test-dir "$tsan" --output-on-failure -R driver_threads
fi
fuzz_seconds=${KX_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" != 0 ]; then
  ./tests/installer/fuzz/run_fuzz.sh . "$fuzz_seconds"
fi
