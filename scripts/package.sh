#!/usr/bin/env bash
# Builds the Debian package of the client with CPack in build/package/, reusing build/ (configured as
# scripts/build.sh does; only the program and its installed files are built).
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_PACKAGING=1 bash scripts/setup.sh
export CCACHE_DIR="${CCACHE_DIR:-$PWD/.cache/ccache}"
if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWREN_WERROR=ON >/dev/null
fi
ninja -C build -j2 wren wren_install_files
rm -f build/package/*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/package/*.deb
