#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent: apt-get runs only when a
# package is missing, and then updates its lists once.
set -euo pipefail

PACKAGES=(
  cmake make g++ pkg-config
  libgtest-dev googletest
  qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  xvfb xdotool imagemagick x11-utils
  dpkg-dev file desktop-file-utils xdg-utils shared-mime-info
)
# The benchmarks compare with Lua 5.4 and Python 3; the fuzzer needs clang's libFuzzer.
if [ "${1:-}" = "--bench" ]; then PACKAGES+=(lua5.4 python3 time); fi
if [ "${1:-}" = "--fuzz" ]; then PACKAGES+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
