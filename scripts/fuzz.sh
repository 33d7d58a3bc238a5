#!/usr/bin/env bash
# Builds the fuzz targets and the sanitized tests with clang (AddressSanitizer, UBSan, libFuzzer), runs the
# tests, then fuzzes the byte pipeline for N seconds, the command line for a few, each game data reader
# (GMCP, MSDP, MSSP) for WREN_GAMEDATA_FUZZ_SECONDS (15 by default), and Lua chunks in the script sandbox for
# WREN_LUA_FUZZ_SECONDS (15 by default; a chunk that runs longer than 20 s counts as a hang).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.cache/ccache}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWREN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DWREN_SANITIZE=address,undefined >/dev/null
ninja -C build-fuzz -j2 pipeline_fuzz command_line_fuzz gmcp_fuzz msdp_fuzz mssp_fuzz lua_chunk_fuzz sanitized_tests
QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/tests/sanitized/sanitized_tests --gtest_brief=1
mkdir -p build-fuzz/corpus
cp -n fuzz/corpus/pipeline/* build-fuzz/corpus/ 2>/dev/null || true
export QT_QPA_PLATFORM=offscreen
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/fuzz/pipeline_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 build-fuzz/corpus > build-fuzz/fuzz.log 2>&1 || { grep -E -A3 'invariant|ERROR|SUMMARY' build-fuzz/fuzz.log | head -n 60; exit 1; }
tail -n 8 build-fuzz/fuzz.log
echo "fuzzing: no crash in ${seconds} s"
mkdir -p build-fuzz/corpus-command-line
cp -n fuzz/corpus/command_line_fuzz/* build-fuzz/corpus-command-line/ 2>/dev/null || true
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/fuzz/command_line_fuzz -max_total_time=10 -max_len=512 build-fuzz/corpus-command-line \
  > build-fuzz/command-line-fuzz.log 2>&1 || { grep -E -A3 'invariant|ERROR|SUMMARY' build-fuzz/command-line-fuzz.log | head -n 40; exit 1; }
echo "command-line fuzzing: no crash in 10 s"

for target in gmcp_fuzz msdp_fuzz mssp_fuzz; do
  mkdir -p "build-fuzz/corpus-$target"
  cp -n fuzz/corpus/"$target"/* "build-fuzz/corpus-$target/"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
    "build-fuzz/fuzz/$target" -max_total_time="${WREN_GAMEDATA_FUZZ_SECONDS:-15}" -rss_limit_mb=2048 \
    -max_len=8192 "build-fuzz/corpus-$target" > "build-fuzz/$target.log" 2>&1 \
    || { grep -E -A3 'invariant|ERROR|SUMMARY' "build-fuzz/$target.log" | head -n 60; exit 1; }
  echo "$target: no crash"
done

mkdir -p build-fuzz/corpus-lua_chunk_fuzz
cp -n fuzz/corpus/lua_chunk_fuzz/* build-fuzz/corpus-lua_chunk_fuzz/
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0 \
  build-fuzz/fuzz/lua_chunk_fuzz -max_total_time="${WREN_LUA_FUZZ_SECONDS:-15}" -timeout=20 -rss_limit_mb=2048 \
  -max_len=4096 build-fuzz/corpus-lua_chunk_fuzz > build-fuzz/lua_chunk_fuzz.log 2>&1 \
  || { grep -E -A3 'invariant|ERROR|SUMMARY|timeout' build-fuzz/lua_chunk_fuzz.log | head -n 60; exit 1; }
echo "lua_chunk_fuzz: no crash or hang"
