#!/usr/bin/env bash
# Installs what is missing, builds the game and its tools in Release (no tests) into build/ and
# starts the game. Arguments go to the game (try --help). Later runs only rebuild what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD_DIR:-build}

bash scripts/install-deps.sh play
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZK_BUILD_TESTS=OFF > /dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" | grep -v -e '^\[ *[0-9]*%\] Built target' -e '^gmake' || true
exec "$BUILD/game/zubokranz" "$@"
