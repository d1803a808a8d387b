#!/usr/bin/env bash
# zkplay driven in a closed loop through standard input: each command runs as soon as its line
# arrives and every state or track answer arrives at once as one line, so the next command can
# depend on it. End of input ends the run.
#   zkplay_stdin.sh GAME_DIR BIN_DIR
set -uo pipefail
GAME_DIR=$(cd "$1" && pwd)
BIN_DIR=$(cd "$2" && pwd)
fail() { echo "zkplay stdin: $*" >&2; exit 1; }

saves=$(mktemp -d)
trap 'rm -rf "$saves"' EXIT
# Plain named pipes and $! taken at once: a coprocess's PLAY_PID and descriptors vanish as soon
# as it ends, which can happen before the script reads them.
mkfifo "$saves/to_play" "$saves/from_play"
"$BIN_DIR/zkplay" --data "$GAME_DIR" --save-dir "$saves" - <"$saves/to_play" >"$saves/from_play" &
play_pid=$!
exec {to_play}>"$saves/to_play" {from_play}<"$saves/from_play"
ask() {  # COMMAND... -> the answer line in $answer
  printf '%s\n' "$@" >&"$to_play"
  IFS= read -r -t 120 answer <&"$from_play" || fail "no answer to: $*"
}

ask "wait 300" "state"
[[ $answer == *'"CurrentScreen":1,'* ]] || fail "not on the main menu: $answer"
ask "key enter" "wait 5" "key enter" "wait 130" "state"
[[ $answer == *'"CurrentScreen":6,'* && $answer == *'"Race":{'* && $answer == *'"EngineSound":"idle"'* ]] ||
  fail "no race: $answer"
ask "track"
[[ $answer == '{"Level":1,"TrackLength":300,"FinishRow":1250,'* && $answer == *'"RowShape":[0,'* ]] ||
  fail "bad track line: ${answer:0:200}"
# Hold Up until the bike passes 40 (the loop decides when to stop).
printf 'down up\n' >&"$to_play"
for i in $(seq 1 100); do
  ask "wait 1" "state"
  speed=$(sed -E 's/.*"Race":\{"Speed":([-0-9.e]+).*/\1/' <<< "$answer")
  awk -v s="$speed" 'BEGIN { exit !(s > 40) }' && break
done
awk -v s="$speed" 'BEGIN { exit !(s > 40) }' || fail "the bike never passed 40 (speed $speed)"
printf 'up up\n' >&"$to_play"
exec {to_play}>&-
wait "$play_pid"
status=$?
[ $status -eq 0 ] || fail "ended with status $status"
echo "closed loop: passed 40 after $i frames"
