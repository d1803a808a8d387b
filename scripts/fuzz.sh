#!/usr/bin/env bash
# Builds the resource-file fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in its own build folder and runs it for a bounded time on a copy of the corpus kept in
# tests/fuzz/corpus. Exits non-zero when the fuzzer finds a crash, a leak or a hang; the input
# that caused it is left in <build>/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZK_BUILD_FUZZ=ON -DZK_SANITIZE=ON -DZK_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target zk_fuzz_resfile

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r tests/fuzz/corpus "$work/corpus"
mkdir -p "$BUILD/fuzz-artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
echo "fuzz: running zk_fuzz_resfile for ${FUZZ_SECONDS}s"
if ! "$BUILD/bin/zk_fuzz_resfile" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
     -artifact_prefix="$BUILD/fuzz-artifacts/" -print_final_stats=1 "$work/corpus" >"$BUILD/fuzz.log" 2>&1; then
  tail -n 60 "$BUILD/fuzz.log"
  echo "fuzz: the resource fuzzer found a problem; the input is in $BUILD/fuzz-artifacts/" >&2
  exit 1
fi
grep -E "^(stat::number_of_executed_units|Done)" "$BUILD/fuzz.log" || true
echo "fuzz: no crash"
