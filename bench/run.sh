#!/usr/bin/env bash
# Runs the pipeline benchmark: line store only, view offscreen, view under Xvfb, and the 100 MB memory run.
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_XVFB=1 bash scripts/setup.sh
bash scripts/build.sh
bench=build/bench/pipeline_bench
echo "== socket to line store (offscreen)"; QT_QPA_PLATFORM=offscreen "$bench" --no-view "$@"
echo "== view painting (offscreen)"; QT_QPA_PLATFORM=offscreen "$bench" "$@"
echo "== view painting (Xvfb)"; QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$bench" "$@"
# As with a screen reader: Qt's accessibility on (AT-SPI bus), the view telling of every block; compare with
# the line above (the goal is at least 80% of its MB/s).
echo "== view painting with accessibility on (Xvfb, AT-SPI)"
WREN_WITH_ACCESSIBILITY=1 bash scripts/setup.sh
bash tests/access/run_on_display.sh "$bench" --accessible "$@"
echo "== memory after 100 MB with the 750-line limit (offscreen)"; QT_QPA_PLATFORM=offscreen "$bench" --mb 100
