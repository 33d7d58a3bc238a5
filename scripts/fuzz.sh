#!/usr/bin/env bash
# Fuzzes the readers of outside bytes with libFuzzer, the core library instrumented as well (clang,
# AddressSanitizer, UBSan).
#
#   bash scripts/fuzz.sh                   the test command's run: the sanitized tests, then every target
#                                          briefly (WREN_FUZZ_SECONDS for the byte pipeline, 45 by default,
#                                          WREN_FUZZ_EACH for each other target, 5 by default)
#   bash scripts/fuzz.sh TARGET SECONDS    one target for as long as asked, e.g. an hour:
#                                          bash scripts/fuzz.sh telnet_fuzz 3600
#   bash scripts/fuzz.sh list              the targets
#
# Each target starts from its seeds in fuzz/corpus/TARGET/ and keeps what it finds in
# build-fuzz/corpus/TARGET/; a crash or a broken invariant is written to build-fuzz/ and ends the run.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(pipeline_fuzz telnet_fuzz markup_tag_fuzz picture_fuzz options_file_fuzz advanced_file_fuzz
  wns_import_fuzz zmud_import_fuzz world_list_fuzz mud_list_fuzz wn_ini_fuzz playlist_fuzz command_line_fuzz
  gmcp_fuzz msdp_fuzz mssp_fuzz room_info_fuzz map_import_fuzz map_file_fuzz lua_chunk_fuzz)

if [[ "${1:-}" == list ]]; then
  printf '%s\n' "${targets[@]}"
  exit 0
fi

export CCACHE_DIR="${CCACHE_DIR:-$PWD/.cache/ccache}"
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWREN_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DWREN_SANITIZE=address,undefined >/dev/null

# Fuzzes one target for $2 seconds from its seeds; says what it covered, or shows the fault and fails.
fuzz() {
  local target=$1 seconds=$2
  mkdir -p "build-fuzz/corpus/$target"
  cp -n "fuzz/corpus/$target"/* "build-fuzz/corpus/$target/" 2>/dev/null || true
  if ! "build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 -timeout=20 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" "build-fuzz/corpus/$target" \
    >"build-fuzz/$target.log" 2>&1; then
    grep -E -A3 'invariant|ERROR|SUMMARY|Test unit written' "build-fuzz/$target.log" | head -n 60
    return 1
  fi
  local edges runs
  edges=$(grep -o 'cov: [0-9]*' "build-fuzz/$target.log" | tail -n 1 | cut -d' ' -f2)
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/$target.log" | grep -o '[0-9]*$')
  printf '%-20s no fault in %4s s, %9s runs, %5s edges\n' "$target" "$seconds" "${runs:-?}" "${edges:-?}"
}

if [[ $# -ge 1 ]]; then
  target=$1
  seconds="${2:-60}"
  [[ " ${targets[*]} " == *" $target "* ]] || { echo "no target $target; bash scripts/fuzz.sh list" >&2; exit 2; }
  ninja -C build-fuzz -j2 "$target"
  fuzz "$target" "$seconds"
  exit 0
fi

ninja -C build-fuzz -j2 "${targets[@]}" sanitized_tests
build-fuzz/tests/sanitized/sanitized_tests --gtest_brief=1
fuzz pipeline_fuzz "${WREN_FUZZ_SECONDS:-45}"
for target in "${targets[@]:1}"; do
  fuzz "$target" "${WREN_FUZZ_EACH:-5}"
done
