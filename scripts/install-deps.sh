#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Zubo Kranz.
#   install-deps.sh          everything (what CI and scripts/test.sh need)
#   install-deps.sh play     only what building and playing the game needs (zkscored is then built
#                            without its PostgreSQL store unless libpq-dev is there)
# Quiet, and quick when everything is already installed (one dpkg query).
set -euo pipefail

PLAY_PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libsdl2-image-dev libx11-dev
  libfontconfig-dev libxmp-dev libcurl4-openssl-dev libpng-dev
  libcpp-httplib-dev libsqlite3-dev
  fonts-league-spartan fonts-dejavu-core
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth openbox xdotool wmctrl x11-utils imagemagick openmpt123
  chromium
  postgresql libpq-dev
)

PACKAGES=("${PLAY_PACKAGES[@]}")
if [ "${1:-all}" != play ]; then PACKAGES+=("${TEST_PACKAGES[@]}"); fi

installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null | awk '/install ok installed/ {print $1}' || true)
missing=()
for p in "${PACKAGES[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
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
