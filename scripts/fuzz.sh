#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in their
# own build folder and runs each for a bounded time on a copy of its corpus: the resource-file
# fuzzer (tests/fuzz/corpus) for half of FUZZ_SECONDS, the score server's submission fuzzer
# (tests/fuzz/corpus_submission) for a quarter and the replay file fuzzer (tests/fuzz/corpus_zkreplay)
# for the rest. Exits non-zero when a fuzzer finds a crash, a leak
# or a hang; the input that caused it is left in <build>/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZK_BUILD_FUZZ=ON -DZK_SANITIZE=ON -DZK_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target zk_fuzz_resfile zk_fuzz_submission zk_fuzz_zkreplay

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$BUILD/fuzz-artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# run_fuzzer NAME CORPUS SECONDS
run_fuzzer() {
  local name=$1 corpus=$2 seconds=$3
  cp -r "$corpus" "$work/$name"
  echo "fuzz: running $name for ${seconds}s"
  if ! "$BUILD/bin/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$BUILD/fuzz-artifacts/" -print_final_stats=1 "$work/$name" >"$BUILD/$name.log" 2>&1; then
    tail -n 60 "$BUILD/$name.log"
    echo "fuzz: $name found a problem; the input is in $BUILD/fuzz-artifacts/" >&2
    exit 1
  fi
  grep -E "^(stat::number_of_executed_units|Done)" "$BUILD/$name.log" || true
}

resfile_seconds=$((FUZZ_SECONDS / 2))
submission_seconds=$((FUZZ_SECONDS / 4))
run_fuzzer zk_fuzz_resfile tests/fuzz/corpus "$resfile_seconds"
run_fuzzer zk_fuzz_submission tests/fuzz/corpus_submission "$submission_seconds"
run_fuzzer zk_fuzz_zkreplay tests/fuzz/corpus_zkreplay "$((FUZZ_SECONDS - resfile_seconds - submission_seconds))"
echo "fuzz: no crash"
