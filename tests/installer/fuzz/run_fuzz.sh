#!/usr/bin/env bash
# Builds the archive fuzz target with clang (its own build directory) and
# runs it for $2 seconds (default 60) on a freshly made seed corpus. The
# installer's own messages are silenced (-close_fd_mask=2); the fuzzer's and
# the sanitizers' reports still show.
# Usage: run_fuzz.sh <source root> [seconds]
set -euo pipefail
root=$(cd "$1" && pwd)
seconds=${2:-60}
build=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKX_FUZZ=ON -DKX_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zip_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
"$root/tests/installer/fuzz/make_corpus.sh" "$corpus"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$build/bin/zip_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=262144 -close_fd_mask=2 \
  -print_final_stats=1 "$corpus"
