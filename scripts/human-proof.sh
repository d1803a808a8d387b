#!/usr/bin/env bash
# Rides the human rider's full proof (twenty tracks per level, bikes 3 and 2, 60 and 144 Hz; the
# ctest rides four) and prints the README's table: per level and column the tracks finished in
# time, the median and the worst time left in seconds (negative: overrun; a ride not finished
# within 20 s past the limit counts as -20). Takes about half an hour on two cores.
#   scripts/human-proof.sh [BUILD_DIR] [SEEDS]   (a Release build with zk_test_human_proof; 20)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-quick}
SEEDS=${2:-20}
BIN=$BUILD/bin/zk_test_human_proof
[ -x "$BIN" ] || { echo "human-proof: build zk_test_human_proof in $BUILD first" >&2; exit 2; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# Two halves side by side, one per core.
ZK_HUMAN_PROOF_SEEDS=$SEEDS "$BIN" --gtest_filter='*At60Hz' >"$out.60" 2>&1 &
ZK_HUMAN_PROOF_SEEDS=$SEEDS "$BIN" --gtest_filter='*At144Hz' >"$out.144" 2>&1 &
wait
cat "$out.60" "$out.144" >"$out"
rm -f "$out.60" "$out.144"
python3 - "$out" <<'PY'
import re, sys
cells = {}
for line in open(sys.argv[1]):
    m = re.match(r"human rider, level (\d+), bike (\d) at (\d+) Hz: (\d+) of (\d+) finished, "
                 r"time left median (-?[\d.]+) s, worst (-?[\d.]+) s", line)
    if m:
        level, bike, rate, done, n, median, worst = m.groups()
        cells[(int(level), bike, rate)] = f"{done}/{n}, {median}, {worst}"
columns = [("3", "60"), ("2", "60"), ("3", "144"), ("2", "144")]
print("| Level | " + " | ".join(f"bike {b}, {r} Hz" for b, r in columns) + " |")
print("|---|" + "---|" * len(columns))
for level in sorted({k[0] for k in cells}):
    print(f"| {level} | " + " | ".join(cells.get((level, b, r), "-") for b, r in columns) + " |")
PY
