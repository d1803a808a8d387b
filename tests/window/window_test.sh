#!/usr/bin/env bash
# Starts the real game in a real X window under Xvfb with a window manager and checks, as a player
# would: the window's caption and size, that it paces itself instead of spinning, the menu sliding
# in, the keyboard moving the selection, the close button asking "Exit the game?", and Y ending the
# program through its exit sequence with status 0.
#   window_test.sh GAME_DIR OUT_DIR
set -euo pipefail
GAME_DIR=$(cd "$1" && pwd)
OUT_DIR=$2
mkdir -p "$OUT_DIR"

if [ -z "${DISPLAY:-}" ] || [ -z "${ZK_UNDER_XVFB:-}" ]; then
  export ZK_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

fail() { echo "window test: $*" >&2; exit 1; }

openbox >/dev/null 2>&1 &
WM=$!
trap 'kill $WM 2>/dev/null || true' EXIT
sleep 1

SAVE=$(mktemp -d)
cp -r "$GAME_DIR"/. "$SAVE"/
cd "$SAVE"
# The desktop's own libraries (X, D-Bus, drivers) keep allocations to the end; leaks of the game's
# code are checked by the headless runs.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy ./zubokranz > "$OUT_DIR/stdout.txt" 2> "$OUT_DIR/stderr.txt" &
GAME=$!

WIN=""
for _ in $(seq 1 100); do
  WIN=$(xdotool search --name '^Zubo Kranz$' 2>/dev/null | head -n 1 || true)
  [ -n "$WIN" ] && break
  kill -0 $GAME 2>/dev/null || fail "the game ended before its window appeared: $(cat "$OUT_DIR/stderr.txt")"
  sleep 0.1
done
[ -n "$WIN" ] || fail "no window named 'Zubo Kranz' appeared"

size=$(xwininfo -id "$WIN" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "800x600" ] || fail "window is $size, not 800x600"
icon=$(xprop -id "$WIN" _NET_WM_ICON)
[[ "$icon" == *"Icon (128 x 128)"* ]] || fail "the window has no 128x128 icon"

# Early in the intro the buttons are still sliding in.
sleep 0.2
import -window root "$OUT_DIR/intro.png"

# CPU time against wall time over three seconds: a paced game stays well below one full core.
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' /proc/$GAME/stat; }
c0=$(cpu); t0=$(date +%s%N)
sleep 3
c1=$(cpu); t1=$(date +%s%N)
cpu_ms=$(( (c1 - c0) * 1000 / ticks ))
wall_ms=$(( (t1 - t0) / 1000000 ))
echo "cpu ${cpu_ms} ms over ${wall_ms} ms wall"
[ $(( cpu_ms * 100 / wall_ms )) -lt 60 ] || fail "the game spins: ${cpu_ms} ms of CPU in ${wall_ms} ms"
import -window root "$OUT_DIR/menu.png"

xdotool windowactivate --sync "$WIN" >/dev/null 2>&1 || true
# A finger holds a key for a few frames; a tap is down and up again before the next frame and
# must count all the same.
press() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep 0.3; }
tap() { xdotool key --delay 0 "$1"; sleep 0.3; }
tap Down
import -window root "$OUT_DIR/menu_down.png"
tap Up
tap Down
press Return
import -window root "$OUT_DIR/help.png"
tap Escape
import -window root "$OUT_DIR/back_to_menu.png"

# Alt+Enter: desktop full screen (the screen is 1024x768), and back to the 800x600 window.
xdotool keydown alt; press Return; xdotool keyup alt; sleep 0.5
size=$(xwininfo -id "$WIN" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
import -window root "$OUT_DIR/full_screen.png"
[ "$size" = "1024x768" ] || fail "full screen window is $size, not 1024x768"
xdotool keydown alt; press Return; xdotool keyup alt; sleep 0.5
size=$(xwininfo -id "$WIN" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "800x600" ] || fail "back from full screen the window is $size, not 800x600"

# The close button on the main menu opens "Exit the game?" instead of closing.
wmctrl -c 'Zubo Kranz'
sleep 0.5
kill -0 $GAME 2>/dev/null || fail "the close button ended the game"
import -window root "$OUT_DIR/exit_popup.png"

tap y
for _ in $(seq 1 50); do
  kill -0 $GAME 2>/dev/null || break
  sleep 0.1
done
if kill -0 $GAME 2>/dev/null; then
  kill $GAME
  fail "a tap on Y on \"Exit the game?\" did not end the game"
fi
wait $GAME || fail "the game ended with status $?"
[ -f Data/Save/options ] && [ -f Data/Save/hs ] || fail "the exit sequence wrote no save files"
echo "window test passed"
