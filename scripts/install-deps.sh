#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Zubo Kranz.
# Quiet, and quick when everything is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libsdl2-image-dev
  libfontconfig-dev libxmp-dev libcurl4-openssl-dev libpng-dev
  libcpp-httplib-dev libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-league-spartan fonts-dejavu-core
  xvfb xauth openbox xdotool wmctrl x11-utils imagemagick openmpt123
  chromium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
