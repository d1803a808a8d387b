#!/usr/bin/env bash
# Builds the game, its tools and every test with AddressSanitizer and UndefinedBehaviorSanitizer,
# then runs the tests with ctest (unit tests, headless zkplay scripts, the tools, a real window
# under Xvfb, the resource fuzzer's corpus) and a short bounded run of the fuzzer itself.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
BUILD=${BUILD_DIR:-build-test}

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK_SANITIZE=ON -DZK_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"

if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi
