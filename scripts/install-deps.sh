#!/usr/bin/env bash
# Installs, from Debian's packages, whatever Dahdit's build and test suite need and the machine lacks.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev
  qt6-multimedia-dev
  xvfb xauth xdotool xclip x11-utils libx11-6 python3
  dbus-daemon at-spi2-core python3-pyatspi  # the screen reader case walks the AT-SPI tree
  pulseaudio pulseaudio-utils               # bench_sidetone plays to a sound server of its own
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
