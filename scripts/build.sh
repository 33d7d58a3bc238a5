#!/usr/bin/env bash
# Configures and builds the client, its tests and benchmarks in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.cache/ccache}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWREN_WERROR=ON "$@" >/dev/null
ninja -C build -j2
