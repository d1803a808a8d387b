#!/usr/bin/env bash
# Re-records the golden runs under tests/golden: each game is ridden through zkplay by
# scripts/golden_rider.py in a scratch copy of the game folder, the replay the game keeps of it
# (last.zkreplay) becomes tests/golden/NAME.zkreplay, and its final state, as zkplay --replay
# finds it, becomes the expectations of tests/golden/NAME.zk, which ctest runs (golden.NAME).
# Re-record only when a change of the game's behaviour is meant; commit the new files with it.
#   scripts/record-golden.sh [BUILD_DIR]     (zkplay and the game built there; needs python3)
# The default is the first of build/, build-quick/ and build-test/ (the folders scripts/play.sh and
# scripts/test.sh make) that holds zkplay and the game.
set -euo pipefail
cd "$(dirname "$0")/.."
default_build() {
  for b in build build-quick build-test; do
    if [ -x "$b/bin/zkplay" ] && [ -d "$b/game/Data" ]; then echo "$b"; return; fi
  done
  echo build
}
BUILD=${1:-${BUILD_DIR:-$(default_build)}}
ZKPLAY=$BUILD/bin/zkplay
[ -x "$ZKPLAY" ] && [ -d "$BUILD/game/Data" ] || { echo "record-golden: build zkplay and the game in $BUILD first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$BUILD/game" "$work/game"

# record NAME RATE PLAN DESCRIPTION
record() {
  local name=$1 rate=$2 plan=$3 description=$4
  rm -rf "$work/game/Data/Save"
  mkdir -p "$work/game/Data/Save"
  python3 scripts/golden_rider.py "$ZKPLAY" "$work/game" "$rate" "$plan"
  cp "$work/game/Data/Save/last.zkreplay" "tests/golden/$name.zkreplay"
  local state
  state=$("$ZKPLAY" --data "$work/game" --replay "tests/golden/$name.zkreplay")
  {
    echo "# Golden run: $description, ridden at $rate Hz."
    echo "# Recorded by scripts/record-golden.sh; the game must end exactly as it did then."
    echo "replay $name.zkreplay"
    python3 -c 'import json, sys
s = json.loads(sys.argv[1])
for field in ("Score", "Lives", "Level", "ReplayFrames"):
    print("expect %s %s" % (field, s[field]))' "$state"
  } > "tests/golden/$name.zk"
  echo "record-golden: tests/golden/$name.zkreplay ($(stat -c %s "tests/golden/$name.zkreplay") bytes)"
}

record level1_finished 60 level1 "level 1 finished (with a pause and an Exit to menu? answered No), then crashes on level 2 to the game over"
record crash_level2 85 crash2 "level 1 finished, a crash and the recovery on level 2, then crashes to the game over"
record game_over 30 gameover "three crashes into the verge on level 1, the game over"
