#!/usr/bin/env bash
# Sets up, builds and runs every test, then fuzzes the byte pipeline for about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_FUZZ=1 bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300
bash scripts/fuzz.sh "${WREN_FUZZ_SECONDS:-60}"
