#!/usr/bin/env bash
# The whole game played by the autopilot (zkplay --autopilot, with --pad through a virtual game
# controller): from the main menu through the vehicle selection and the levels to the name entry
# and the high-score table. In the sanitizer
# build any sanitizer report or leak makes zkplay end with a failure status.
#   autopilot_game.sh BIN_DIR GAME_DIR ZKPLAY_OPTIONS...
set -uo pipefail
BIN_DIR=$1
GAME_DIR=$2
shift 2
fail() { echo "autopilot game: $*" >&2; exit 1; }

out=$("$BIN_DIR/zkplay" --data "$GAME_DIR" "$@") || fail "zkplay ended with status $?: ${out: -2000}"
echo "$out" | grep '^autopilot:\|^soak:'
state=$(tail -n 1 <<< "$out")
[[ $out == *'autopilot: game 1 ended on level '* ]] || fail "no game was played to its end: ${out: -2000}"
if [[ " $* " != *' --soak '* ]]; then
  # The letter picker of a game played with the pad has capitals only.
  name=Autopilot
  [[ " $* " == *' --pad '* ]] && name=AUTOPILOT
  [[ $state == *'"CurrentScreen":4,'* && $state == *"\"PlayerName\":\"$name\""* ]] ||
    fail "the game did not end on the high-score table after the name entry: $state"
  [[ $state == *"{\"Name\":\"$name\",\"Score\":"* ]] || fail "the score is not in the table: $state"
fi
exit 0
