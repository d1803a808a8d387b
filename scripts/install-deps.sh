#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Zubo Kranz.
#   install-deps.sh          everything (what CI and scripts/test.sh need, the browser build's
#                            packages and deb-src entries included)
#   install-deps.sh play     only what building and playing the game needs (zkscored is then built
#                            without its PostgreSQL store unless libpq-dev is there)
#   install-deps.sh web      only what scripts/build-web.sh needs besides: Debian's Emscripten and
#                            Node.js, dpkg-dev for apt-get source, and deb-src entries for the
#                            archive apt uses
# Quiet, and quick when everything is already installed (one dpkg query).
set -euo pipefail

PLAY_PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libsdl2-image-dev libx11-dev
  libfontconfig-dev libxmp-dev libcurl4-openssl-dev libpng-dev
  libcpp-httplib-dev libsqlite3-dev zlib1g-dev
  fonts-league-spartan fonts-dejavu-core
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth openbox xdotool wmctrl x11-utils imagemagick openmpt123
  chromium
  postgresql libpq-dev
)

WEB_PACKAGES=(emscripten nodejs dpkg-dev)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# The browser build compiles Debian's own sources of its libraries: apt needs deb-src entries for
# the archive it installs from (made from the deb822 file of the deb entries).
add_source_entries() {
  local list=/etc/apt/sources.list.d/debian.sources
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then return 0; fi
  if [ -f "$list" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$list" | $SUDO tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  else
    echo "install-deps: no apt sources to make deb-src entries from; add them by hand" >&2
    exit 1
  fi
  $SUDO apt-get update -qq
}

case "${1:-all}" in
  play) PACKAGES=("${PLAY_PACKAGES[@]}") ;;
  web) PACKAGES=("${WEB_PACKAGES[@]}"); add_source_entries ;;
  *) PACKAGES=("${PLAY_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WEB_PACKAGES[@]}"); add_source_entries ;;
esac

installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null | awk '/install ok installed/ {print $1}' || true)
missing=()
for p in "${PACKAGES[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
