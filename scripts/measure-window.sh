#!/usr/bin/env bash
# Measures what showing the game costs, in a real window under Xvfb (software OpenGL, like a
# machine without a GPU driver), for each way of presenting frames:
#   - CPU: per cent of one core the process uses (its own CPU time, not wall time) over 10 s on
#     the settled main menu (nothing moves), and over 10 s of the vehicle selection with the
#     bikes switched twice a second (the switch slides the bikes; the race is not built yet);
#   - memory: the process's peak resident size (VmHWM) at the end of that;
#   - start-up: exec to the first frame in the window (the first SDL_RenderPresent), median of
#     10 starts.
# Usage: scripts/measure-window.sh [GAME_DIR] [label]
#   GAME_DIR holds zubokranz and Data/ (default build/game, the Release game scripts/play.sh builds).
# The machine's load is printed first: CPU shares on a busy machine say little.
set -euo pipefail
GAME_DIR=$(cd "${1:-build/game}" && pwd)
LABEL=${2:-$(basename "$(dirname "$GAME_DIR")")}
STARTS=${ZK_MEASURE_STARTS:-10}
SECONDS_MEASURED=${ZK_MEASURE_SECONDS:-10}

if [ -z "${ZK_UNDER_XVFB:-}" ]; then
  export ZK_UNDER_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$GAME_DIR" "$LABEL"
fi

WORK=$(mktemp -d)
openbox >/dev/null 2>&1 &
WM=$!
GAME=""
cleanup() {
  [ -n "$GAME" ] && kill -9 "$GAME" 2>/dev/null || true
  kill "$WM" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
sleep 1

# Records the wall-clock time of the first present, whatever the build: the game's own output
# is not needed, so older builds can be measured the same way.
cat > "$WORK/first_present.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
void SDL_RenderPresent(void* renderer) {
  static void (*real)(void*);
  static int done;
  if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
  real(renderer);
  if (!done) {
    done = 1;
    const char* path = getenv("ZK_FIRST_PRESENT_FILE");
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    FILE* f = path ? fopen(path, "w") : NULL;
    if (f) {
      fprintf(f, "%lld\n", (long long)t.tv_sec * 1000000000LL + t.tv_nsec);
      fclose(f);
    }
  }
}
EOF
cc -O2 -shared -fPIC -o "$WORK/first_present.so" "$WORK/first_present.c" -ldl

cp -r "$GAME_DIR"/. "$WORK/game"/
cd "$WORK/game"

# The ways to present: what a player gets by default, and each renderer forced. Builds without
# --renderer ignore it; the environment gives them the software path too.
path_env() {
  case $1 in
    software) echo "SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0" ;;
    *) echo "" ;;
  esac
}
path_args() {
  case $1 in
    default) echo "" ;;
    *) echo "--renderer $1" ;;
  esac
}

# Starts the game; sets GAME. $1 = path, $2 = file for the first present's time (with the exec
# time written just before exec).
start_game() {
  local env args
  env=$(path_env "$1")
  args=$(path_args "$1")
  rm -f "$2" "$2.exec"
  # shellcheck disable=SC2086
  bash -c "date +%s%N > '$2.exec'; exec env $env SDL_AUDIODRIVER=dummy LD_PRELOAD='$WORK/first_present.so' \
    ZK_FIRST_PRESENT_FILE='$2' ./zubokranz $args" >/dev/null 2>"$WORK/stderr.txt" &
  GAME=$!
}

wait_first_present() {
  for _ in $(seq 1 200); do
    [ -s "$1" ] && return 0
    sleep 0.05
  done
  echo "no frame reached the window: $(cat "$WORK/stderr.txt")" >&2
  return 1
}

stop_game() {
  kill -9 "$GAME" 2>/dev/null || true
  wait "$GAME" 2>/dev/null || true
  GAME=""
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$GAME/stat"; }
cpu_percent_over() {
  local c0 c1 ticks
  ticks=$(getconf CLK_TCK)
  c0=$(cpu_ticks)
  sleep "$SECONDS_MEASURED"
  c1=$(cpu_ticks)
  awk -v c="$((c1 - c0))" -v t="$ticks" -v s="$SECONDS_MEASURED" 'BEGIN {printf "%.1f", c * 100 / t / s}'
}

echo "machine: $(nproc) cores; load average$(uptime | sed 's/.*load average//')"
printf '%-10s %-9s %14s %14s %11s %17s\n' build path "menu CPU %" "moving CPU %" "VmHWM MB" "first frame ms"
for path in default gpu software; do
  # Start-up: median of the starts.
  times=()
  for _ in $(seq 1 "$STARTS"); do
    start_game "$path" "$WORK/fp"
    wait_first_present "$WORK/fp"
    times+=($(( ($(cat "$WORK/fp") - $(cat "$WORK/fp.exec")) / 1000000 )))
    stop_game
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2] + a[NR/2+1]) / 2)}')

  # Idle main menu, then the vehicle selection (Enter on the menu's first button), switching
  # to the next bike every half second (Right on the right arrow).
  start_game "$path" "$WORK/fp"
  wait_first_present "$WORK/fp"
  sleep 3
  menu=$(cpu_percent_over)
  WIN=$(xdotool search --name '^Zubo Kranz$' | head -n 1)
  xdotool windowactivate --sync "$WIN" >/dev/null 2>&1 || true
  xdotool keydown Return; sleep 0.1; xdotool keyup Return; sleep 1
  xdotool keydown Up; sleep 0.1; xdotool keyup Up; sleep 0.3  # from the start button to the arrows
  (for _ in $(seq 1 $((SECONDS_MEASURED * 2))); do xdotool keydown Right; sleep 0.1; xdotool keyup Right; sleep 0.4; done) &
  SWITCHING=$!
  moving=$(cpu_percent_over)
  wait $SWITCHING
  hwm=$(awk '/VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$GAME/status")
  stop_game
  printf '%-10s %-9s %14s %14s %11s %17s\n' "$LABEL" "$path" "$menu" "$moving" "$hwm" "$median"
done
