#!/usr/bin/env bash
# Measures what showing the game costs, in a real window under Xvfb (software OpenGL, like a
# machine without a GPU driver), for each way of presenting frames:
#   - CPU: per cent of one core the process uses (its own CPU time, not wall time) over 10 s on
#     the settled main menu (nothing moves), and over 10 s of the vehicle selection with the
#     bikes switched twice a second (the switch slides the bikes);
#   - the race: per cent of a core over 10 s of a race ridden at full throttle at the window's
#     refresh rate (60 Hz under Xvfb), and the part of it spent presenting (from writing the
#     frame into the texture to the end of SDL_RenderPresent), with the presents per second;
#   - memory: the process's peak resident size (VmHWM) at the end of the moving screen;
#   - start-up: exec to the first frame in the window (the first SDL_RenderPresent), medians of
#     10 starts: the wall time and the process's own CPU time (all its threads; its main thread's
#     in brackets).
# Usage: scripts/measure-window.sh [GAME_DIR] [label]
#   GAME_DIR holds zubokranz and Data/ (default build/game, the Release game scripts/play.sh builds).
# The machine's load is printed first and last: CPU shares on a busy machine say little.
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

# Records the first present's wall-clock time and the CPU time used until then, and adds up the
# CPU time of presenting on the thread that presents, whatever the build: the game's own output
# is not needed, so older builds can be measured the same way. The totals (presents, their CPU
# nanoseconds, the monotonic clock) go to ZK_PRESENT_TOTALS_FILE every 30 presents.
cat > "$WORK/first_present.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
static long long Nanoseconds(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}
static long long Microseconds(struct timeval t) { return (long long)t.tv_sec * 1000000LL + t.tv_usec; }
static long long presentStart = -1, presentTotal, presents;
static void PresentStarts(void) {
  if (presentStart < 0) presentStart = Nanoseconds(CLOCK_THREAD_CPUTIME_ID);
}
int SDL_LockTexture(void* t, const void* r, void** p, int* pitch) {
  static int (*real)(void*, const void*, void**, int*);
  if (!real) real = (int (*)(void*, const void*, void**, int*))dlsym(RTLD_NEXT, "SDL_LockTexture");
  PresentStarts();
  return real(t, r, p, pitch);
}
int SDL_UpdateTexture(void* t, const void* r, const void* p, int pitch) {
  static int (*real)(void*, const void*, const void*, int);
  if (!real) real = (int (*)(void*, const void*, const void*, int))dlsym(RTLD_NEXT, "SDL_UpdateTexture");
  PresentStarts();
  return real(t, r, p, pitch);
}
void SDL_RenderPresent(void* renderer) {
  static void (*real)(void*);
  if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
  PresentStarts();
  real(renderer);
  presentTotal += Nanoseconds(CLOCK_THREAD_CPUTIME_ID) - presentStart;
  presentStart = -1;
  if (++presents == 1) {
    struct rusage all, own;
    getrusage(RUSAGE_SELF, &all);
    getrusage(RUSAGE_THREAD, &own);
    const char* path = getenv("ZK_FIRST_PRESENT_FILE");
    FILE* f = path ? fopen(path, "w") : NULL;
    if (f) {
      fprintf(f, "%lld %lld %lld\n", Nanoseconds(CLOCK_REALTIME), Microseconds(all.ru_utime) + Microseconds(all.ru_stime),
              Microseconds(own.ru_utime) + Microseconds(own.ru_stime));
      fclose(f);
    }
  }
  const char* totals = getenv("ZK_PRESENT_TOTALS_FILE");
  if (totals && presents % 30 == 0) {
    FILE* f = fopen(totals, "w");
    if (f) {
      fprintf(f, "%lld %lld %lld\n", presents, presentTotal, Nanoseconds(CLOCK_MONOTONIC));
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

# Starts the game; sets GAME. $1 = path, $2 = file for the first present's figures (with the
# exec time written just before exec).
start_game() {
  local env args
  env=$(path_env "$1")
  args=$(path_args "$1")
  rm -f "$2" "$2.exec" "$WORK/totals"
  # shellcheck disable=SC2086
  bash -c "date +%s%N > '$2.exec'; exec env $env SDL_AUDIODRIVER=dummy LD_PRELOAD='$WORK/first_present.so' \
    ZK_FIRST_PRESENT_FILE='$2' ZK_PRESENT_TOTALS_FILE='$WORK/totals' ./zubokranz $args" >/dev/null 2>"$WORK/stderr.txt" &
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

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2] + a[NR/2+1]) / 2)}'; }
press() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep "$2"; }
focus_game() {
  local win
  win=$(xdotool search --name '^Zubo Kranz$' | head -n 1)
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
}

# A race from the main menu (PLAY, START, the level's caption closed) at full throttle: per cent
# of a core for the whole process and for presenting, and the presents per second.
measure_race() {
  local c0 c1 p0 n0 m0 p1 n1 m1
  focus_game
  press Return 1
  press Return 2
  press Return 1
  xdotool keydown Up
  sleep 2
  read -r p0 n0 m0 < "$WORK/totals"
  c0=$(cpu_ticks)
  sleep "$SECONDS_MEASURED"
  c1=$(cpu_ticks)
  read -r p1 n1 m1 < "$WORK/totals"
  xdotool keyup Up
  awk -v c="$((c1 - c0))" -v t="$(getconf CLK_TCK)" -v s="$SECONDS_MEASURED" -v p="$((p1 - p0))" \
    -v n="$((n1 - n0))" -v m="$((m1 - m0))" \
    'BEGIN {printf "%.1f %.2f %.0f", c * 100 / t / s, n * 100 / m, p * 1e9 / m}'
}

echo "machine: $(nproc) cores; load average$(uptime | sed 's/.*load average//')"
printf '%-10s %-9s %7s %9s %7s %10s %9s %5s %15s %14s\n' build path "menu %" "moving %" "race %" \
  "present %" "presents" "MB" "first frame ms" "CPU ms (main)"
for path in default gpu software; do
  walls=() cpus=() mains=()
  for _ in $(seq 1 "$STARTS"); do
    start_game "$path" "$WORK/fp"
    wait_first_present "$WORK/fp"
    read -r at cpu main < "$WORK/fp"
    walls+=($(( (at - $(cat "$WORK/fp.exec")) / 1000000 )))
    cpus+=($(( ${cpu:-0} / 1000 )))
    mains+=($(( ${main:-0} / 1000 )))
    stop_game
  done
  wall=$(printf '%s\n' "${walls[@]}" | median)
  cpu=$(printf '%s\n' "${cpus[@]}" | median)
  main=$(printf '%s\n' "${mains[@]}" | median)

  # Idle main menu, then the vehicle selection (Enter on the menu's first button), switching
  # to the next bike every half second (Right on the right arrow); the memory after that.
  start_game "$path" "$WORK/fp"
  wait_first_present "$WORK/fp"
  sleep 3
  menu=$(cpu_percent_over)
  focus_game
  press Return 1
  press Up 0.3  # from the start button to the arrows
  (for _ in $(seq 1 $((SECONDS_MEASURED * 2))); do xdotool keydown Right; sleep 0.1; xdotool keyup Right; sleep 0.4; done) &
  SWITCHING=$!
  moving=$(cpu_percent_over)
  wait $SWITCHING
  hwm=$(awk '/VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$GAME/status")
  stop_game

  start_game "$path" "$WORK/fp"
  wait_first_present "$WORK/fp"
  sleep 2
  read -r race present rate <<< "$(measure_race)"
  stop_game
  printf '%-10s %-9s %7s %9s %7s %10s %9s %5s %15s %14s\n' "$LABEL" "$path" "$menu" "$moving" "$race" "$present" \
    "$rate/s" "$hwm" "$wall" "$cpu ($main)"
done
echo "machine: load average$(uptime | sed 's/.*load average//')"
