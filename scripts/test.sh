#!/usr/bin/env bash
# Builds the game, its tools, zkbench and every test, then runs the tests with ctest (unit tests,
# headless zkplay scripts, the tools' command lines, the installed game, a real window under
# Xvfb, the resource fuzzer's corpus, zkscored on a throw-away PostgreSQL cluster).
#   bash scripts/test.sh            AddressSanitizer + UndefinedBehaviorSanitizer build in build-test,
#                                   the browser version in build-web, then a bounded run of the
#                                   fuzzer (what CI runs)
#   QUICK=1 bash scripts/test.sh    Release build in build-quick, no sanitizers, no fuzzing, no
#                                   browser version, and without the tests labelled long or storm
#                                   (ALL=1 runs them too)
# BUILD_DIR chooses the build folder, JOBS the parallel jobs. The browser version
# (scripts/build-web.sh, into build-web) is built before the tests, so that the test labelled web
# plays it in headless Chromium: WEB=0 leaves it out (that test is then skipped), WEB=1 adds it to
# QUICK=1.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
bash scripts/install-deps.sh
# The browser version, its game data made by the native build about to be tested.
build_web() {
  [ "${WEB:-}" = 1 ] || { [ -z "${QUICK:-}" ] && [ "${WEB:-}" != 0 ]; } || return 0
  cmake --build "$1" -j "$JOBS" --target zkdata_pack
  BUILD_DIR=build-web NATIVE_BUILD="$1" JOBS="$JOBS" bash scripts/build-web.sh
}

if [ -n "${QUICK:-}" ]; then
  BUILD=${BUILD_DIR:-build-quick}
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZK_SANITIZE=OFF -DZK_BUILD_TESTS=ON -DZK_BUILD_BENCH=ON -DZK_REQUIRE_POSTGRESQL=ON >/dev/null
  cmake --build "$BUILD" -j "$JOBS"
  build_web "$BUILD"
  # The long rides and the storms take minutes of their own: left to ALL=1 and to CI.
  [ -n "${ALL:-}" ] || set -- -LE 'long|storm'
  ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" "$@"
  exit 0
fi

BUILD=${BUILD_DIR:-build-test}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK_SANITIZE=ON -DZK_BUILD_TESTS=ON -DZK_BUILD_BENCH=ON -DZK_REQUIRE_POSTGRESQL=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
build_web "$BUILD"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"

if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi
