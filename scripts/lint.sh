#!/usr/bin/env bash
# Checks the sources under src/ against the project's code style (.clang-format) and its checks
# (.clang-tidy: bugs, needless copies, functions too long or too tangled). Any finding fails.
#   bash scripts/lint.sh          everything under src/
#   bash scripts/lint.sh FILE...  those files only
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $# -gt 0 ]]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h')
fi
clang-format --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files as the style says"
[[ -f build/compile_commands.json ]] || bash scripts/build.sh
sources=()
for file in "${files[@]}"; do
  [[ $file == *.cpp ]] && sources+=("$file")
done
# Headers are checked through the sources that include them (HeaderFilterRegex in .clang-tidy).
# Debian 12's run-clang-tidy has no -warnings-as-errors: a warning in its output fails the check instead.
run-clang-tidy -p build -quiet -j "$(nproc)" "${sources[@]}" > build/clang-tidy.log 2>&1 || true
if grep -E -q '(warning|error):' build/clang-tidy.log; then
  grep -E -A4 '(warning|error):' build/clang-tidy.log | head -n 160
  echo "clang-tidy: findings above (all of them in build/clang-tidy.log)"
  exit 1
fi
echo "clang-tidy: ${#sources[@]} sources without a finding"
