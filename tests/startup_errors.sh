#!/usr/bin/env bash
# Start-up errors reach the player as one clear message naming the file and the reason, and the
# program ends with a non-zero status: a missing data file, a damaged one, no display at all.
#   startup_errors.sh GAME_DIR BIN_DIR
set -uo pipefail
GAME_DIR=$(cd "$1" && pwd)
BIN_DIR=$(cd "$2" && pwd)
fail() { echo "startup errors: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'wait 1\n' > "$work/run.zk"

expect_error() {  # DESCRIPTION PATTERN COMMAND...
  local what=$1 pattern=$2; shift 2
  "$@" > "$work/out" 2> "$work/err"
  local status=$?
  [ $status -ne 0 ] || fail "$what: ended with status 0"
  grep -q -- "$pattern" "$work/err" || fail "$what: no message naming '$pattern' (got: $(cat "$work/err"))"
  echo "$what: status $status, $(head -n 1 "$work/err")"
}

cp -r "$GAME_DIR" "$work/missing"
rm "$work/missing/Data/Res/Res2.dxg"
expect_error "missing image list" "Res2.dxg" "$BIN_DIR/zkplay" --data "$work/missing" "$work/run.zk"

cp -r "$GAME_DIR" "$work/damaged"
head -c 100 "$GAME_DIR/Data/Res/Sounds.dxw" > "$work/damaged/Data/Res/Sounds.dxw"
expect_error "damaged sound list" "Sounds.dxw" "$BIN_DIR/zkplay" --data "$work/damaged" "$work/run.zk"

cp -r "$GAME_DIR" "$work/swapped"
cp "$GAME_DIR/Data/Res/Res2.dxg" "$work/swapped/Data/Res/Res1.dxg"
expect_error "race pictures in place of the menu pictures" "Res1.dxg: the list has 43 items, the game needs 55" \
  "$BIN_DIR/zkplay" --data "$work/swapped" "$work/run.zk"

expect_error "no display" "display" env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "$GAME_DIR/zubokranz"
echo "startup errors passed"
