#!/usr/bin/env bash
# Installs the Debian 12 packages the client needs to build, run and test, when any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-multimedia-dev libgl-dev libqt6sql6-sqlite
  qt6-speech-dev qt6-declarative-dev qt6-speech-flite-plugin qt6-speech-speechd-plugin
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad timgm6mb-soundfont
  libpcre2-dev libjpeg-dev libcurl4-openssl-dev zlib1g-dev liblua5.4-dev
  libgtest-dev
  fonts-dejavu-core fonts-liberation
)
# The multi-pattern scanner for triggers exists in Debian for amd64 only; elsewhere the client does without.
if [[ $(dpkg --print-architecture) == amd64 ]]; then
  packages+=(libhyperscan-dev)
fi
if [[ "${WREN_WITH_FUZZ:-0}" == 1 ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
# Building and checking the Debian package (scripts/package.sh, scripts/check-package.sh).
if [[ "${WREN_WITH_PACKAGING:-0}" == 1 ]]; then
  packages+=(dpkg-dev file lintian desktop-file-utils appstream)
fi
if [[ "${WREN_WITH_XVFB:-0}" == 1 ]]; then
  packages+=(xvfb xauth)
fi
# What a screen reader sees, checked on X: the AT-SPI bus, its Python bindings and a D-Bus session.
# The style and code checks (scripts/lint.sh).
if [[ "${WREN_WITH_LINT:-0}" == 1 ]]; then
  packages+=(clang-format clang-tidy)
fi
if [[ "${WREN_WITH_ACCESSIBILITY:-0}" == 1 ]]; then
  packages+=(xvfb xauth at-spi2-core python3-pyatspi dbus-x11 dbus-bin dbus-daemon)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) != 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
