#!/usr/bin/env bash
# Takes the README's screenshot: the client on the demo world in a real X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_XVFB=1 bash scripts/setup.sh
if ! command -v xdotool >/dev/null; then
  sudo=(); [[ $(id -u) != 0 ]] && sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends xdotool
fi
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
sleep 3
# Log in and look at the world's map, as a player would.
window=$(xdotool search --sync --name "Wren Client" | head -n 1)
xdotool windowfocus --sync "$window" 2>/dev/null || true
for line in "Visitor" "map" "look"; do
  xdotool type --window "$window" --delay 30 "$line"
  xdotool key --window "$window" Return
  sleep 1
done
sleep "${WREN_SCREENSHOT_WAIT:-2}"
build/tools/grab_screen "$out"
kill "$client"
echo "saved $out"
