#!/usr/bin/env bash
# Runs a program on X under Xvfb, in a D-Bus session with the AT-SPI accessibility bus running, as a
# desktop with a screen reader would have it; exit 77 (skipped) when Xvfb or D-Bus is missing. The
# program's own arguments follow its path.
set -euo pipefail
if [[ -z "${WREN_ON_DISPLAY:-}" ]]; then
  for tool in xvfb-run dbus-run-session dbus-send; do
    if ! command -v "$tool" >/dev/null; then
      echo "$tool is missing (WREN_WITH_XVFB=1 bash scripts/setup.sh installs it): skipped"
      exit 77
    fi
  done
  runtime=$(mktemp -d)
  trap 'rm -rf "$runtime"' EXIT
  export XDG_RUNTIME_DIR="$runtime" WREN_ON_DISPLAY=1
  # Not exec: the trap removes the runtime folder afterwards. The bus starts inside the display, so what
  # it starts (the accessibility bus and its registry, which makes key presses) has the display too.
  xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$0" "$@" 2> >(grep -v "Failed to set fd limit" >&2)
  exit $?
fi
export QT_QPA_PLATFORM=xcb
# Qt's AT-SPI bridge is on without a screen reader running; it finds the accessibility bus on the session
# bus, which a desktop starts at login: here asking for its address starts it.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null || true
"$@"
