#!/usr/bin/env bash
# Start-up errors reach the player as one clear message naming the file and the reason, and the
# program ends with a non-zero status: a missing data file, a damaged one, no display at all, no
# data in any folder the game looks in.
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

# The race's pictures load after the first frame: a damaged file is still named, with status 1,
# at the latest when the race needs them.
cp -r "$GAME_DIR" "$work/damaged-race"
head -c 5000 "$GAME_DIR/Data/Res/Res2.dxg" > "$work/damaged-race/Data/Res/Res2.dxg"
printf 'wait 300\nkey enter\nwait 5\nkey enter\nwait 5\n' > "$work/race.zk"
expect_error "damaged race pictures" "Res2.dxg: " "$BIN_DIR/zkplay" --data "$work/damaged-race" "$work/race.zk"

# A FIFO by a data file's name is refused at once, not waited on.
cp -r "$GAME_DIR" "$work/fifo"
rm "$work/fifo/Data/Res/Res1.dxg"
mkfifo "$work/fifo/Data/Res/Res1.dxg"
expect_error "FIFO as an image list" "Res1.dxg: not a regular file" timeout 60 "$BIN_DIR/zkplay" --data "$work/fifo" "$work/run.zk"

# Music that is missing, damaged or not a file plays silently, said in one line naming the file.
music_problem() {  # DESCRIPTION EXPECTED-WORDS (Data/Music/Menu.xm prepared in $work/music)
  timeout 120 "$BIN_DIR/zkplay" --data "$work/music" "$work/run.zk" > "$work/out" 2> "$work/err" || fail "$1: status $?"
  grep -q "Menu.xm: $2" "$work/err" || fail "$1: no line naming the file (got: $(cat "$work/err"))"
  echo "$1: $(head -n 1 "$work/err")"
}
cp -r "$GAME_DIR" "$work/music"
rm "$work/music/Data/Music/Menu.xm"
music_problem "missing music" "cannot open file"
mkfifo "$work/music/Data/Music/Menu.xm"
music_problem "a FIFO as music" "not a regular file"
rm "$work/music/Data/Music/Menu.xm"
head -c 300 "$GAME_DIR/Data/Music/Menu.xm" > "$work/music/Data/Music/Menu.xm"
music_problem "damaged music" "not a music module"

# The Data folder itself given to --data: the message names the folder that holds it.
expect_error "the Data folder given to --data" "give the folder that holds it, --data $GAME_DIR)" \
  "$BIN_DIR/zkplay" --data "$GAME_DIR/Data" "$work/run.zk"

# No display: the game's own choice of video driver (none forced), with no session named and
# with a session that does not answer (SDL's reason then follows). One clear line, status 1, at once.
no_display() {  # DESCRIPTION EXPECTED-MESSAGE ENVIRONMENT...
  local what=$1 expected=$2; shift 2
  local start=$(date +%s%N)
  env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$@" "$GAME_DIR/zubokranz" > "$work/out" 2> "$work/err"
  local status=$? ms=$(( ($(date +%s%N) - start) / 1000000 ))
  [ $status -eq 1 ] || fail "$what: status $status, not 1"
  [[ "$(cat "$work/err")" == $expected ]] || fail "$what: said '$(cat "$work/err")'"
  # Well under a second on an idle machine; the bound leaves room for a busy one.
  [ $ms -lt 10000 ] || fail "$what: took $ms ms"
  echo "$what: status 1 after $ms ms: $(cat "$work/err")"
}
message="zubokranz: no display: set DISPLAY or run under a desktop session"
no_display "no display named" "$message"
no_display "a display that does not answer" "$message (?*)" DISPLAY=:97 XDG_RUNTIME_DIR="$work"

# Data files: beside the executable first, then the installed data folder, then the working
# directory; a file that none has is named with every folder tried.
mkdir -p "$work/lone/bin" "$work/cwd"
cp "$GAME_DIR/zubokranz" "$work/lone/bin/"
(cd "$work/cwd" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
  "$work/lone/bin/zubokranz" > "$work/out" 2> "$work/err")
[ $? -eq 1 ] || fail "no data anywhere: not status 1"
for folder in "$work/lone/bin" "$work/lone/share/zubokranz" "$work/cwd"; do
  grep -qF "$folder" "$work/err" || fail "no data anywhere: '$folder' not named in: $(cat "$work/err")"
done
grep -q "Data/Res/Res1.dxg: not found in" "$work/err" || fail "no data anywhere: the file is not named: $(cat "$work/err")"
echo "no data anywhere: $(head -n 1 "$work/err")"

# An unrelated Data/ in the working directory does not win over the game's own.
mkdir -p "$work/cwd/Data/Res"
echo "not an image list" > "$work/cwd/Data/Res/Res1.dxg"
cp -r "$GAME_DIR/Data" "$work/lone/bin/"
rm -rf "$work/lone/bin/Data/Save"
(cd "$work/cwd" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
  timeout --preserve-status -s TERM 3 "$work/lone/bin/zubokranz" > "$work/out" 2> "$work/err")
status=$?
[ $status -eq 0 ] || fail "the working directory's Data/ was read first: status $status, $(cat "$work/err")"
[ -s "$work/lone/bin/Data/Save/options" ] || fail "the game beside its Data/ did not save there"
echo "data beside the executable wins over the working directory's"

# Without a sound card the game says so in one line and plays silently; the sound libraries'
# own complaints stay out of sight. (Only where this machine has no card: elsewhere it would play.)
if ! grep -qv 'no soundcards' /proc/asound/cards 2>/dev/null; then
  mkdir -p "$work/runtime"
  (cd "$work/cwd" && env -u SDL_AUDIODRIVER -u PULSE_SERVER XDG_RUNTIME_DIR="$work/runtime" SDL_VIDEODRIVER=offscreen \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout --preserve-status -s TERM 3 "$work/lone/bin/zubokranz" \
    > "$work/out" 2> "$work/err")
  [ $? -eq 0 ] || fail "no sound card: the game did not run: $(cat "$work/err")"
  [ "$(cat "$work/err")" = "zubokranz: no sound card; playing silently" ] || fail "no sound card: said '$(cat "$work/err")'"
  echo "no sound card: one line"
fi
cp -r "$GAME_DIR" "$work/swapped"
cp "$GAME_DIR/Data/Res/Res3.dxg" "$work/swapped/Data/Res/Res1.dxg"
expect_error "minimap pictures in place of the menu pictures" "Res1.dxg: the list has 14 items, the game needs 55" \
  "$BIN_DIR/zkplay" --data "$work/swapped" "$work/run.zk"

echo "startup errors passed"
