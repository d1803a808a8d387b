#!/usr/bin/env bash
# Installs the game (with its score server) into a temporary prefix, makes the prefix read-only
# and runs the installed game (on SDL's off-screen driver, asked for explicitly) through start-up
# and exit: SIGTERM and then SIGINT each end it with status 0, and its saves are in the player's
# XDG data folder.
#   install_test.sh BUILD_DIR
set -uo pipefail
BUILD=$(cd "$1" && pwd)
fail() { echo "install test: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$BUILD" --prefix "$prefix" > "$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
for f in bin/zubokranz bin/zkscored share/zubokranz/Data/Res/Res1.dxg share/zubokranz/Data/Music/Menu.xm \
         share/applications/zubokranz.desktop share/icons/hicolor/128x128/apps/zubokranz.png; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ ! -e "$prefix/share/zubokranz/Data/Save" ] || fail "the build's own saves were installed"
grep -q '^Exec=zubokranz$' "$prefix/share/applications/zubokranz.desktop" || fail "the desktop entry does not start zubokranz"
chmod -R a-w "$prefix"

export XDG_DATA_HOME=$work/xdg HOME=$work/home
saves=$XDG_DATA_HOME/zubokranz
mkdir -p "$HOME" "$work/elsewhere"
cd "$work/elsewhere"

# Waits until the game catches SIGINT and SIGTERM (bits 2 and 15 of SigCgt), so that the signal
# cannot hit it before it listens.
wait_until_listening() {
  local pid=$1
  for _ in $(seq 1 200); do
    local caught
    caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 1
    [ -n "$caught" ] && (( (16#$caught & 0x4002) == 0x4002 )) && return 0
    sleep 0.05
  done
  return 1
}

for signal in TERM INT; do
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    "$prefix/bin/zubokranz" > "$work/out" 2> "$work/err" &
  game=$!
  wait_until_listening $game || fail "the game ended or never caught the signals: $(cat "$work/err")"
  sleep 1  # well into the menu
  kill -0 $game 2>/dev/null || fail "the installed game ended by itself: $(cat "$work/err")"
  start=$(date +%s%N)
  kill -$signal $game
  wait $game
  status=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  echo "SIG$signal: status $status after $ms ms"
  [ $status -eq 0 ] || fail "SIG$signal: status $status: $(cat "$work/err")"
  # A second at most on an idle machine; the bound leaves room for a busy one.
  [ $ms -lt 10000 ] || fail "SIG$signal: the game took $ms ms to end"
  [ -s "$saves/options" ] && [ -s "$saves/hs" ] || fail "SIG$signal: no saves in $saves"
  rm -rf "$saves"
done
[ ! -e "$prefix/share/zubokranz/Data/Save" ] || fail "the game wrote into its installed folder"
echo "install test passed"
