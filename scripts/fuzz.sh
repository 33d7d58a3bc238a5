#!/usr/bin/env bash
# Builds the fuzz target and the sanitized tests with clang (AddressSanitizer, UBSan, libFuzzer), runs the
# tests, then fuzzes for N seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.cache/ccache}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWREN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DWREN_SANITIZE=address,undefined >/dev/null
ninja -C build-fuzz -j2 pipeline_fuzz room_info_fuzz map_import_fuzz map_file_fuzz sanitized_tests
QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/tests/sanitized/sanitized_tests --gtest_brief=1
mkdir -p build-fuzz/corpus
cp -n fuzz/corpus/* build-fuzz/corpus/ 2>/dev/null || true
export QT_QPA_PLATFORM=offscreen
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/fuzz/pipeline_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 build-fuzz/corpus > build-fuzz/fuzz.log 2>&1 || { grep -E -A3 'invariant|ERROR|SUMMARY' build-fuzz/fuzz.log | head -n 60; exit 1; }
tail -n 8 build-fuzz/fuzz.log
echo "fuzzing: no crash in ${seconds} s"
# The map's readers of outside bytes, a few seconds each (WREN_MAP_FUZZ_SECONDS), each from its own seeds.
map_seconds="${WREN_MAP_FUZZ_SECONDS:-10}"
for target in room_info_fuzz map_import_fuzz map_file_fuzz; do
  mkdir -p "build-fuzz/corpus-$target"
  cp -n "fuzz/corpus/$target"/* "build-fuzz/corpus-$target/" 2>/dev/null || true
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
    "build-fuzz/fuzz/$target" -max_total_time="$map_seconds" -rss_limit_mb=2048 -max_len=65536 \
    "build-fuzz/corpus-$target" > "build-fuzz/$target.log" 2>&1 \
    || { grep -E -A3 'invariant|ERROR|SUMMARY' "build-fuzz/$target.log" | head -n 60; exit 1; }
  echo "fuzzing $target: no crash in ${map_seconds} s"
done
