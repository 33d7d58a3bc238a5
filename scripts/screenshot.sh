#!/usr/bin/env bash
# Takes the README's screenshot: the client on the demo world in a real X server (Xvfb).
#   bash scripts/screenshot.sh [out.png]   the README's picture (docs/screenshot.png)
#   bash scripts/screenshot.sh --map       after a walk round the town: the gauges and the map
#                                          (docs/screenshot-map.png)
#   bash scripts/screenshot.sh --manual    the manual's pictures in docs/manual/: the window, the connection
#                                          manager, the options, the automation editor and the music list
set -euo pipefail
cd "$(dirname "$0")/.."
WREN_WITH_XVFB=1 bash scripts/setup.sh
if ! command -v xdotool >/dev/null; then
  sudo=(); [[ $(id -u) != 0 ]] && sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends xdotool
fi
bash scripts/build.sh
manual=0
walk=0
if [[ "${1:-}" == --manual ]]; then
  manual=1
  shift
elif [[ "${1:-}" == --map ]]; then
  walk=1
  shift
fi
out="${1:-docs/screenshot.png}"
((walk)) && out="${1:-docs/screenshot-map.png}"
port=4123
program=build/src/wren
if ((manual)); then
  # A program folder of its own, with the manual's example automations for the demo world.
  folder=$(mktemp -d)
  cp build/src/wren "$folder/"
  build/tools/make_manual_world "$folder" "127.0.0.1.$port"
  program="$folder/wren"
fi
build/demo/wren-demo-world --port "$port" &
world=$!
Xvfb :97 -screen 0 800x560x24 -nolisten tcp &
xvfb=$!
trap 'kill "$world" "$xvfb" 2>/dev/null || true; [[ -n "${folder:-}" ]] && rm -rf "$folder"' EXIT
sleep 1
export DISPLAY=:97 QT_QPA_PLATFORM=xcb
"$program" "telnet://127.0.0.1:$port" &
client=$!
sleep 3
# Log in and look at the world's map, as a player would.
window=$(xdotool search --sync --name "Wren Client - v" | head -n 1)
xdotool windowfocus --sync "$window" 2>/dev/null || true
type_line() {
  xdotool type --window "$window" --delay 30 "$1"
  xdotool key --window "$window" Return
  sleep 1
}
if ((manual)); then
  login=("Visitor" "secret" "map")
elif ((walk)); then
  login=("Visitor" "secret" "n" "s" "e" "w" "w" "e" "s" "e" "w" "w" "e" "n" "ne" "e" "fight" "/WHERE")
else
  login=("Visitor" "map" "look")
fi
for line in "${login[@]}"; do
  type_line "$line"
done
sleep "${WREN_SCREENSHOT_WAIT:-2}"
if ((manual == 0)); then
  build/tools/grab_screen "$out"
  kill "$client"
  echo "saved $out"
  exit 0
fi

mkdir -p docs/manual
build/tools/grab_screen docs/manual/main-window.png "$window"
# A dialog: pictured once it shows, then closed with Escape. Without a window manager the main window
# gets the keyboard back only through a click, and from then on keys go through XTEST.
grab_dialog() { # title-pattern picture [keys to press first]
  local dialog
  sleep 1
  dialog=$(xdotool search --sync --onlyvisible --name "$1" | tail -n 1)
  for keys in "${@:3}"; do
    xdotool key --delay 100 $keys
  done
  sleep 0.5
  build/tools/grab_screen "docs/manual/$2.png" "$dialog"
  xdotool key Escape
  sleep 1
  xdotool mousemove --window "$window" 300 420 click 1
  sleep 0.5
}
type_line "/NEW"
grab_dialog "Connection Manager" connection-manager
xdotool key ctrl+F10
# The options open on "Fonts / Colors"; five tabs on is "Connection".
grab_dialog "Options" options "ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab"
xdotool key ctrl+F11
grab_dialog "wn2" advanced
# The music list beside the text (Music, Show), with the welcome sound as a song.
xdotool key ctrl+a
xdotool type --delay 30 "/ADD connect.wav"
xdotool key Return
sleep 1
xdotool key alt+m
sleep 0.5
xdotool key Return
sleep 1
build/tools/grab_screen docs/manual/music.png "$window"
kill "$client"
echo "saved the manual's pictures in docs/manual/"
