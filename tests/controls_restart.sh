#!/usr/bin/env bash
# The player's controls outlive the game: rebound on the controls page (a key with the keyboard,
# a pad button with the pad), saved at the exit into their own file beside the options file, read
# at the next start, which rides with them; the options file keeps its format. A damaged controls
# file is kept aside and the defaults are used.
#   controls_restart.sh GAME_DIR BIN_DIR
set -uo pipefail
GAME_DIR=$(cd "$1" && pwd)
BIN_DIR=$(cd "$2" && pwd)
fail() { echo "controls restart: $*" >&2; exit 1; }

saves=$(mktemp -d)
trap 'rm -rf "$saves"' EXIT
play() { "$BIN_DIR/zkplay" --data "$GAME_DIR" --save-dir "$saves" "$@"; }

# OPTIONS, then Controls below the panel; ACCELERATE's key becomes W, BRAKE's pad button RB.
play - <<'SCRIPT' >/dev/null || fail "the first run failed"
wait 120
pad connect
key down
key down
key enter
wait 30
key left
key enter
wait 5
expect CurrentScreen 7
key down
key down
key enter
key w
expect Controls.Accelerate W a
pad button dpdown
pad button dpright
pad button a
pad button rightshoulder
expect Controls.Brake DOWN rightshoulder
key escape
key escape
key escape
key y
SCRIPT
[ -f "$saves/controls" ] || fail "no controls file was written"
grep -q $'^accelerate 87 a\r$' "$saves/controls" || fail "the controls file lacks the new key: $(cat -A "$saves/controls")"
[ "$(wc -l < "$saves/options")" -eq 7 ] || fail "the options file changed its format: $(cat -A "$saves/options")"

# The next start reads them: W accelerates, the arrow does not.
play - <<'SCRIPT' >/dev/null || fail "the second run did not ride with the saved controls"
wait 120
expect Controls.Accelerate W a
expect Controls.Brake DOWN rightshoulder
key enter
wait 5
key enter
wait 130
down w
wait 2
expect PlayerKeys 4
up w
down up
wait 2
expect PlayerKeys 0
up up
SCRIPT

# A damaged file: kept aside, the defaults used.
printf 'accelerate 87 a\r\nbrake 87 b\r\n' > "$saves/controls"
out=$(play - 2>&1 <<'SCRIPT'
wait 30
expect Controls.Accelerate UP a
expect Controls.Brake DOWN b
SCRIPT
) || fail "a damaged controls file was not replaced by the defaults: $out"
[ -f "$saves/controls.bad" ] || fail "the damaged controls file was not kept aside: $out"
[[ $out == *"controls: line 2: brake has the key of accelerate"* ]] || fail "no message named the problem: $out"
exit 0
