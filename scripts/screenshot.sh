#!/usr/bin/env bash
# Takes the README's screenshot: the client on the demo world in a real X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_XVFB=1 bash scripts/setup.sh
bash scripts/build.sh
out="${1:-docs/screenshot.png}"
mkdir -p "$(dirname "$out")"
port=4123
build/demo/wren-demo-world --port "$port" &
world=$!
Xvfb :97 -screen 0 800x560x24 -nolisten tcp &
xvfb=$!
trap 'kill "$world" "$xvfb" 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=:97 QT_QPA_PLATFORM=xcb
build/src/wren "telnet://127.0.0.1:$port" &
client=$!
sleep "${WREN_SCREENSHOT_WAIT:-4}"
build/tools/grab_screen "$out"
kill "$client"
echo "saved $out"
