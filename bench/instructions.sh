#!/usr/bin/env bash
# Counts the instructions the pipeline spends on 5 MB of coloured MUD text, from the socket's bytes to the
# line store (everything under Connection::Receive), with callgrind. Unlike seconds, the counts do not drift with the machine's load, so two
# builds can be compared run against run.
#   bash bench/instructions.sh [path/to/pipeline_bench]
set -euo pipefail
cd "$(dirname "$0")/.."
bench="${1:-build/bench/pipeline_bench}"
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }
count() {
  QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    --toggle-collect='wren::Connection::Receive*' "$bench" --no-view --mb 5 "$@" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
printf '%-36s %15s %10s\n' "load" "instructions" "per byte"
for load in "none:" "marker trigger:--triggers 0" "100 triggers + marker:--triggers 100" \
  "1000 triggers + marker:--triggers 1000" "100 realistic + marker:--triggers 100 --realistic" \
  "1000 realistic + marker:--triggers 1000 --realistic" \
  "100 realistic, literal search:--triggers 100 --realistic --literal-scan" \
  "1000 realistic, literal search:--triggers 1000 --realistic --literal-scan"; do
  name="${load%%:*}"
  args="${load#*:}"
  # shellcheck disable=SC2086
  n=$(count $args)
  awk -v name="$name" -v n="$n" 'BEGIN { printf "%-36s %15s %10.1f\n", name, n, n / 5000000 }'
done
