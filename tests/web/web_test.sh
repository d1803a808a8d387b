#!/usr/bin/env bash
# The browser version in headless Chromium (tests/web/play_in_browser.mjs), served by zkscored
# --web, its pictures compared with the native game's. Skipped (status 77) when the browser
# version was not built (scripts/build-web.sh) or Chromium, Node.js or ImageMagick is missing.
#   web_test.sh BIN_DIR GAME_DIR WEB_DIR OUT_DIR LOW_TABLE_PROGRAM
set -uo pipefail
BIN_DIR=$1
GAME_DIR=$2
WEB_DIR=$3
OUT_DIR=$4
LOW_TABLE=$5
HERE=$(cd "$(dirname "$0")" && pwd)
skip() { echo "web test skipped: $*"; exit 77; }
fail() { echo "web test: $*" >&2; exit 1; }

[ -f "$WEB_DIR/zubokranz.html" ] || skip "no browser version in $WEB_DIR (build it with scripts/build-web.sh)"
CHROMIUM=$(command -v chromium || command -v chromium-browser) || skip "chromium is not installed"
command -v node >/dev/null || skip "node is not installed"
command -v convert >/dev/null || skip "ImageMagick is not installed"
node --experimental-websocket -e 'if (typeof WebSocket !== "function") process.exit(1)' 2>/dev/null ||
  skip "this Node.js has no WebSocket"

rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR/native"
SERVER_PID=
trap '[ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null; wait 2>/dev/null' EXIT

# The native game's pictures of the same moments.
printf 'wait 300\nshot %s\nkey enter\nwait 5\nshot %s\n' "$OUT_DIR/native/menu.png" "$OUT_DIR/native/vehicles.png" |
  "$BIN_DIR/zkplay" --data "$GAME_DIR" --save-dir "$OUT_DIR/native/save" - >"$OUT_DIR/native/zkplay.txt" 2>&1 ||
  fail "zkplay could not take the native pictures: $(tail -5 "$OUT_DIR/native/zkplay.txt")"
# The saves of a table of low scores (zk_web_low_table), and the native name entry of a game that
# entered it.
"$LOW_TABLE" "$OUT_DIR/low-table" || fail "zk_web_low_table could not write $OUT_DIR/low-table"
cp -r "$OUT_DIR/low-table" "$OUT_DIR/native/low-save"
printf 'wait 300\nendgame 270\nwait 30\nshot %s\n' "$OUT_DIR/native/nameentry.png" |
  "$BIN_DIR/zkplay" --data "$GAME_DIR" --save-dir "$OUT_DIR/native/low-save" - >>"$OUT_DIR/native/zkplay.txt" 2>&1 ||
  fail "zkplay could not take the native name entry: $(tail -5 "$OUT_DIR/native/zkplay.txt")"
for shot in menu vehicles nameentry; do
  convert "$OUT_DIR/native/$shot.png" -depth 8 "rgba:$OUT_DIR/native/$shot.rgba" || fail "cannot convert $shot.png"
done

"$BIN_DIR/zkscored" --listen 127.0.0.1:0 --db "$OUT_DIR/scores.db" --rate-limit 0/MIN --web "$WEB_DIR" \
  2>"$OUT_DIR/server.log" &
SERVER_PID=$!
PORT=
for _ in $(seq 1 100); do
  PORT=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$OUT_DIR/server.log")
  [ -n "$PORT" ] && break
  kill -0 "$SERVER_PID" 2>/dev/null || fail "zkscored ended: $(cat "$OUT_DIR/server.log")"
  sleep 0.1
done
[ -n "$PORT" ] || fail "zkscored did not say its port: $(cat "$OUT_DIR/server.log")"

node --experimental-websocket --no-warnings "$HERE/play_in_browser.mjs" "$CHROMIUM" "http://127.0.0.1:$PORT" \
  "$OUT_DIR/native" "$OUT_DIR" "$OUT_DIR/low-table" || fail "failed (server log: $OUT_DIR/server.log)"
