#!/usr/bin/env bash
# Draws the program's icon into packaging/icons/ (the PNG sizes and the SVG are committed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
QT_QPA_PLATFORM=offscreen build/tools/make_icon packaging/icons
