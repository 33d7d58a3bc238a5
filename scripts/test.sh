#!/usr/bin/env bash
# Sets up, builds and runs every test, builds and checks the Debian package, fuzzes every reader of outside
# bytes briefly (the byte pipeline longest), then checks the sources' style and code (scripts/lint.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_FUZZ=1 WREN_WITH_PACKAGING=1 WREN_WITH_ACCESSIBILITY=1 WREN_WITH_LINT=1 bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300
bash scripts/package.sh
bash scripts/check-package.sh
bash scripts/fuzz.sh
bash scripts/lint.sh
