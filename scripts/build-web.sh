#!/usr/bin/env bash
# Builds the browser version of Zubo Kranz with Debian's Emscripten:
#   build-web/deps    Debian's source packages of SDL2, FreeType, SDL2_ttf, SDL2_mixer and libxmp
#                     (apt-get source, checked against scripts/web-deps.sha256), kept between runs;
#                     the game's build compiles what it needs of them (web/deps/CMakeLists.txt)
#   build-web/native  a native build of zkdata, which makes the pictures, sounds and music (skipped
#                     when NATIVE_BUILD names a native build folder that has made them)
#   build-web/web     zubokranz.html, .js, .wasm and .data: serve them with zkscored --web build-web/web
# BUILD_DIR chooses the folder (build-web), JOBS the parallel jobs. Needs deb-src entries in apt's
# sources (scripts/install-deps.sh web adds them) and the packages emscripten and dpkg-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$(realpath -m "${BUILD_DIR:-build-web}")
JOBS=${JOBS:-$(nproc)}
DEPS=$OUT/deps
# Debian's emscripten: its Node.js modules are in Debian's folder, which Node does not search.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
export EMCC_SKIP_SANITY_CHECK=1
# emcc runs "python3" from PATH: a version manager's shim there costs seconds per compile.
export EMSDK_PYTHON=${EMSDK_PYTHON:-/usr/bin/python3}

say() { echo "build-web: $*"; }
fail() { echo "build-web: $*" >&2; exit 1; }
command -v emcc >/dev/null || fail "emcc not found: install Debian's emscripten (scripts/install-deps.sh web)"
command -v dpkg-source >/dev/null || fail "dpkg-source not found: install dpkg-dev (scripts/install-deps.sh web)"

# --- the sources: the exact Debian versions the hash file names ---
fetch_sources() {
  mkdir -p "$DEPS/src"
  cd "$DEPS/src"
  local hash dsc package version
  while read -r hash dsc; do
    [ -n "$hash" ] && [ "${hash:0:1}" != "#" ] || continue
    package=${dsc%%_*}
    version=${dsc#*_}
    version=${version%.dsc}
    if [ ! -f "$dsc" ]; then
      say "fetching $package $version"
      apt-get source --download-only -qq "$package=$version" >"$package.fetch.log" 2>&1 ||
        fail "apt-get source $package=$version failed: apt needs deb-src entries (scripts/install-deps.sh web adds them)"
    fi
    echo "$hash  $dsc" | sha256sum --quiet -c - || fail "$dsc: not the file scripts/web-deps.sha256 names"
    # dpkg-source checks every tarball against the hashes the checked .dsc holds.
    if [ ! -d "$package" ]; then
      rm -rf "$package.tmp"
      dpkg-source -x "$dsc" "$package.tmp" >"$package.unpack.log" 2>&1 || fail "$dsc: cannot unpack (see $DEPS/src/$package.unpack.log)"
      mv "$package.tmp" "$package"
    fi
  done <"$ROOT/scripts/web-deps.sha256"
  cd "$ROOT"
}

# --- the game's data, made natively ---
native_data() {
  if [ -n "${NATIVE_BUILD:-}" ]; then
    NATIVE=$(realpath "$NATIVE_BUILD")
  else
    NATIVE=$OUT/native
    say "making the game's data natively in $NATIVE"
    cmake -S . -B "$NATIVE" -DCMAKE_BUILD_TYPE=Release -DZK_BUILD_TESTS=OFF >/dev/null
    cmake --build "$NATIVE" -j "$JOBS" --target zkdata_pack >/dev/null
  fi
  [ -f "$NATIVE/game/Data/Res/Res1.dxg" ] || fail "$NATIVE/game/Data holds no game data"
}

# The faces fontconfig picks for the game on the desktop.
FONTS="/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf;/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

fetch_sources
native_data
say "building the game"
emcmake cmake -S . -B "$OUT/game" -DCMAKE_BUILD_TYPE=Release -DZK_BUILD_TESTS=OFF \
  -DZK_WEB_SOURCES="$DEPS/src" -DZK_WEB_DATA="$NATIVE/game/Data" -DZK_WEB_FONTS="$FONTS" -DZK_WEB_OUTPUT="$OUT/web" \
  -DZK_SCORE_SERVER= -DZK_HOME_PAGE=/ >/dev/null
cmake --build "$OUT/game" -j "$JOBS" --target zubokranz
say "done: $OUT/web ($(du -sh "$OUT/web" | cut -f1)); serve it with zkscored --web $OUT/web"
