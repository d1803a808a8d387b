#!/usr/bin/env bash
# zkplay --replay and zubokranz --replay refuse a missing, foreign, truncated, damaged or newer
# replay file with status 1 and a message naming the file and the problem; a sound one plays.
#   replay_files.sh GAME_DIR BIN_DIR GOLDEN_REPLAY
set -uo pipefail
GAME_DIR=$(cd "$1" && pwd)
BIN_DIR=$(cd "$2" && pwd)
GOOD=$3
fail() { echo "replay files: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

printf '\x89PNG\r\n\x1a\nnot a replay at all' > "$work/foreign.zkreplay"
head -c 100 "$GOOD" > "$work/truncated.zkreplay"
cp "$GOOD" "$work/damaged.zkreplay"
printf '\x55' | dd of="$work/damaged.zkreplay" bs=1 seek=60 conv=notrunc status=none
cp "$GOOD" "$work/future.zkreplay"
printf '\x07' | dd of="$work/future.zkreplay" bs=1 seek=8 conv=notrunc status=none

# case FILE WORDS: both programs refuse FILE with status 1, naming it and saying WORDS.
check() {
  local file=$1 words=$2 program status
  for program in "$BIN_DIR/zkplay --data $GAME_DIR" "$GAME_DIR/zubokranz"; do
    $program --replay "$file" > "$work/out" 2> "$work/err"
    status=$?
    [ $status -eq 1 ] || fail "$program --replay $file: status $status, not 1"
    grep -qF "$file: " "$work/err" || fail "$program --replay $file: the message does not name the file: $(cat "$work/err")"
    grep -qF "$words" "$work/err" || fail "$program --replay $file: no '$words' in: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$program --replay $file: wrote to standard output"
  done
  echo "refused $(basename "$file"): $(cat "$work/err")"
}
check "$work/missing.zkreplay" "no such replay file"
check "$work/foreign.zkreplay" "not a Zubo Kranz replay"
check "$work/truncated.zkreplay" "truncated"
check "$work/damaged.zkreplay" "checksum"
check "$work/future.zkreplay" "newer game"

"$BIN_DIR/zkplay" --data "$GAME_DIR" --save-dir "$work/saves" --replay "$GOOD" > "$work/out" || fail "zkplay --replay $GOOD: status $?"
grep -q '"ReplayFrames":[1-9]' "$work/out" || fail "zkplay --replay $GOOD printed no final state: $(head -c 300 "$work/out")"
echo "replay files passed"
