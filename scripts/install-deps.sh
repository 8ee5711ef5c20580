#!/usr/bin/env bash
# Installs, from Debian's packages, what Dahdit needs and the machine lacks.
#   scripts/install-deps.sh [run]   building and running Dahdit (make run)
#   scripts/install-deps.sh test    that, and what the tests need (make test, CI)
set -euo pipefail
packages=(
  # building; qt6-base-dev brings the X11 platform plugin Dahdit runs on
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libsqlite3-dev
  # the key's tone, through the sound server's own client library
  libpulse-dev
)
case "${1:-run}" in
run) ;;
test)
  packages+=(
    # the end-to-end cases under a virtual X display
    xvfb xauth xdotool xclip x11-utils libx11-6 python3
    # the fuzzer: clang with libFuzzer and its sanitizers
    clang libclang-rt-14-dev
    # bench_sidetone and an end-to-end case play to a sound server of their own
    pulseaudio pulseaudio-utils
    # every window is checked in the fonts desktops give: GNOME's Cantarell, DejaVu and Noto, and
    # Liberation, as wide as the sans serif the layouts were drawn for
    fonts-cantarell fonts-dejavu-core fonts-noto-core fonts-liberation2
    # the formatting check (make check-format), with Debian 12's clang-format 14
    clang-format
    # making and checking the packages: dpkg-shlibdeps, cpack's ELF check, lintian, the metadata
    dpkg-dev file lintian appstream desktop-file-utils
  )
  ;;
*)
  echo "usage: $0 [run|test]" >&2
  exit 2
  ;;
esac
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
