#!/usr/bin/env bash
# The real game under Xvfb, one display server per case: when the server goes away (its process
# killed) on the main menu, in the race, under a popup or under the game's own message box (a
# data error at start, a damaged save file), the game ends by itself with status 1 and one line
# naming the lost display, its settings and high scores saved where a normal exit writes them;
# SIGTERM under a message box ends it as anywhere else. Each case prints how long the end took.
#   display_loss_test.sh GAME_DIR OUT_DIR
set -euo pipefail
GAME_DIR=$(cd "$1" && pwd)
OUT_DIR=$2
mkdir -p "$OUT_DIR"
# The point is that the game ends at all: the bound leaves room for a busy machine (an idle one
# takes well under a second).
LIMIT_MS=10000

work=$(mktemp -d)
XVFB=""
GAME=""
cleanup() {
  for pid in $GAME $XVFB; do kill -9 "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "display loss: $CASE: $*" >&2; exit 1; }

# A fresh game folder and a fresh display server for case $1; sets CASE, DIR, DISPLAY, XVFB.
start_display() {
  CASE=$1
  DIR="$work/$CASE"
  cp -r "$GAME_DIR" "$DIR"
  rm -rf "$DIR/Data/Save"
  mkdir -p "$DIR/Data/Save"
  : > "$work/displayfd"
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9> "$work/displayfd" > /dev/null 2>&1 &
  XVFB=$!
  for _ in $(seq 1 100); do
    [ -s "$work/displayfd" ] && break
    sleep 0.05
  done
  [ -s "$work/displayfd" ] || fail "Xvfb did not start"
  export DISPLAY=":$(tr -dc '0-9' < "$work/displayfd")"
}

start_game() {
  # The desktop's libraries keep allocations to the end; the game's own leaks are checked headless.
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$DIR/zubokranz" \
    > "$OUT_DIR/$CASE.out" 2> "$OUT_DIR/$CASE.err" &
  GAME=$!
  WIN=""
  for _ in $(seq 1 100); do
    WIN=$(xdotool search --name '^Zubo Kranz$' 2>/dev/null | head -n 1 || true)
    [ -n "$WIN" ] && break
    kill -0 "$GAME" 2>/dev/null || fail "the game ended before its window appeared: $(cat "$OUT_DIR/$CASE.err")"
    sleep 0.1
  done
  [ -n "$WIN" ] || fail "no window named 'Zubo Kranz' appeared"
  xdotool windowfocus --sync "$WIN" 2> /dev/null || true
}

key() { xdotool key --delay 0 "$1"; sleep "${2:-0.3}"; }
shot() { import -window root "$OUT_DIR/$CASE.png"; }

# Sends signal $1 to process $2 (the display server or the game) and waits for the game to end;
# sets STATUS and prints the time taken.
end_by() {
  local start ms
  start=$(date +%s%N)
  kill "-$1" "$2"
  if [ "$2" = "$XVFB" ]; then
    wait "$XVFB" 2> /dev/null || true
    XVFB=""
  fi
  while kill -0 "$GAME" 2>/dev/null; do
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    [ "$ms" -lt "$LIMIT_MS" ] || fail "the game still ran $ms ms after $3"
    sleep 0.02
  done
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  STATUS=0
  wait "$GAME" || STATUS=$?
  GAME=""
  if [ -n "$XVFB" ]; then
    kill -9 "$XVFB"
    wait "$XVFB" 2> /dev/null || true
    XVFB=""
  fi
  echo "$CASE: ended $ms ms after $3, status $STATUS"
}

lose_display() { end_by KILL "$XVFB" "the display server was killed"; }

# Status 1, and the last line on standard error names the lost display.
expect_lost_display() {
  [ "$STATUS" -eq 1 ] || fail "status $STATUS, not 1"
  local last
  last=$(tail -n 1 "$OUT_DIR/$CASE.err")
  [ "$last" = "zubokranz: lost the display $DISPLAY: its server closed the connection" ] ||
    fail "said '$(cat "$OUT_DIR/$CASE.err")'"
}

expect_saved() {
  [ -s "$DIR/Data/Save/options" ] && [ -s "$DIR/Data/Save/hs" ] || fail "the settings and high scores were not saved"
}

# A options file the game cannot read: kept aside as options.bad, shown in a message box at start.
damage_options() { printf 'not a number\r\n' > "$DIR/Data/Save/options"; }
# The box is up once the file has been kept aside and the window shows.
wait_for_notice() {
  for _ in $(seq 1 50); do
    [ -f "$DIR/Data/Save/options.bad" ] && break
    sleep 0.1
  done
  sleep 0.5
}

start_display menu
start_game
sleep 1
shot
lose_display
expect_lost_display
expect_saved

# PLAY, then START on the bike choice; the level caption stands for two seconds.
start_display race
start_game
sleep 3
key Return 1
key Return 3
shot
# The race looks nothing like the menu: the keys reached the game.
differ=$(compare -metric AE "$OUT_DIR/menu.png" "$OUT_DIR/race.png" null: 2>&1 || true)
[ "${differ%%.*}" -gt 100000 ] 2> /dev/null || fail "the race did not start ($differ pixels differ from the menu)"
lose_display
expect_lost_display
expect_saved

start_display popup
start_game
sleep 3
key Escape 1
shot
lose_display
expect_lost_display
expect_saved

# A data error at start: the box is the only thing shown, and nothing was loaded, so nothing is
# written over the player's files.
start_display data_error_box
rm "$DIR/Data/Res/Res1.dxg"
start_game
sleep 1
shot
lose_display
expect_lost_display
grep -q "Res1.dxg: not found" "$OUT_DIR/$CASE.err" || fail "the data error was not on standard error"
[ -z "$(ls "$DIR/Data/Save")" ] || fail "files were written: $(ls "$DIR/Data/Save")"

start_display notice_box
damage_options
start_game
wait_for_notice
shot
lose_display
expect_lost_display
expect_saved

start_display data_error_box_sigterm
rm "$DIR/Data/Res/Res1.dxg"
start_game
sleep 1
end_by TERM "$GAME" "SIGTERM"
[ "$STATUS" -eq 1 ] || fail "status $STATUS, not 1"

start_display notice_box_sigterm
damage_options
start_game
wait_for_notice
end_by TERM "$GAME" "SIGTERM"
[ "$STATUS" -eq 0 ] || fail "status $STATUS, not 0: $(cat "$OUT_DIR/$CASE.err")"
expect_saved

echo "display loss test passed"
