#!/usr/bin/env bash
# Sets up, builds, starts the demo world on 127.0.0.1:4000 and opens the client on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
port="${WREN_DEMO_PORT:-4000}"
build/demo/wren-demo-world --port "$port" &
world=$!
trap 'kill "$world" 2>/dev/null || true' EXIT
sleep 0.5
build/src/wren "telnet://127.0.0.1:$port"
