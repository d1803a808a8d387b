#!/usr/bin/env bash
# A replay played in a real window under Xvfb (ended with Esc): the save folder stays byte for
# byte as it was, and a damaged window icon is named in one line while the game goes on.
#   replay_window_test.sh GAME_DIR REPLAY
set -euo pipefail
GAME_DIR=$(cd "$1" && pwd)
REPLAY=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")

if [ -z "${DISPLAY:-}" ] || [ -z "${ZK_UNDER_XVFB:-}" ]; then
  export ZK_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

fail() { echo "replay window test: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$GAME_DIR"/. "$work/game"
SAVE="$work/game/Data/Save"
mkdir -p "$SAVE"
# The default pair, a replay of the player's own and a file of theirs.
printf '0\r\n1\r\n1\r\n_______\r\n1\r\n9\r\n\x38\x8C\x96\x8C\xCA\xE2\xF6\x52\x3E\r\n' > "$SAVE/options"
for score in 10000 9000 8000 7000 6000 5000 4000 3000 2000 1000; do printf 'ANONYMOUS\r\n%s\r\n' $score; done > "$SAVE/hs"
printf 'the last game the player rode' > "$SAVE/last.zkreplay"
printf 'notes' > "$SAVE/notes.txt"
head -c 200 "$GAME_DIR/Data/zubokranz.png" > "$work/game/Data/zubokranz.png"
listing() { (cd "$SAVE" && find . -mindepth 1 | sort | while read -r f; do echo "$f $(sha256sum < "$f")"; done); }
before=$(listing)

ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$work/game/zubokranz" --replay "$REPLAY" \
  > "$work/out" 2> "$work/err" &
GAME=$!
WIN=""
for _ in $(seq 1 100); do
  WIN=$(xdotool search --name '^Zubo Kranz$' 2>/dev/null | head -n 1 || true)
  [ -n "$WIN" ] && break
  kill -0 $GAME 2>/dev/null || fail "the game ended before its window appeared: $(cat "$work/err")"
  sleep 0.1
done
[ -n "$WIN" ] || fail "no window appeared"
sleep 2
xdotool key --window "$WIN" Escape || true
for _ in $(seq 1 300); do kill -0 $GAME 2>/dev/null || break; sleep 0.1; done
if kill -0 $GAME 2>/dev/null; then kill $GAME; fail "the game did not end after Esc"; fi
wait $GAME || fail "the game ended with status $?: $(cat "$work/err")"

[ "$(listing)" = "$before" ] || fail "the save folder changed: $(listing)"
grep -q "Data/zubokranz.png: not a readable PNG picture" "$work/err" || fail "the damaged icon is not named: $(cat "$work/err")"
echo "replay window test passed: $(cat "$work/err")"
