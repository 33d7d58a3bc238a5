#!/usr/bin/env bash
# Draws the welcome picture and synthesises the start sound into resources/ (both are committed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
QT_QPA_PLATFORM=offscreen build/tools/make_welcome_media resources
