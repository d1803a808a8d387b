#!/usr/bin/env bash
# Every program answers --help (usage on standard output) and --version with status 0, and an
# unknown option with the usage on standard error and status 2.
#   command_lines.sh PROGRAM...
set -uo pipefail
fail() { echo "command lines: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The game must answer without a display.
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

for program in "$@"; do
  name=$(basename "$program")
  "$program" --help > "$work/out" 2> "$work/err"
  status=$?
  [ $status -eq 0 ] || fail "$name --help: status $status ($(head -n 3 "$work/err"))"
  grep -q "^usage: $name" "$work/out" || fail "$name --help: no usage on standard output"

  "$program" --version > "$work/out" 2> "$work/err"
  status=$?
  [ $status -eq 0 ] || fail "$name --version: status $status"
  grep -Eq "^$name [0-9]+\.[0-9]+\.[0-9]+$" "$work/out" || fail "$name --version: printed '$(cat "$work/out")'"

  "$program" --frobnicate > "$work/out" 2> "$work/err"
  status=$?
  [ $status -eq 2 ] || fail "$name --frobnicate: status $status, not 2"
  grep -q "usage: $name" "$work/err" || fail "$name --frobnicate: no usage on standard error"
  [ ! -s "$work/out" ] || fail "$name --frobnicate: wrote to standard output"
  echo "$name: --help, --version and --frobnicate answered"
done

# zkplay's help lists its script commands; zkbench's adds Google Benchmark's flags.
for program in "$@"; do
  case $(basename "$program") in
    zkplay)
      "$program" --help > "$work/out"
      for command in wait key down up type mouse click dblclick focus minimize restore close shot state expect replay; do
        grep -Eq "^  ($command|.*\| $command)\b" "$work/out" || fail "zkplay --help does not list '$command'"
      done ;;
    zkbench)
      "$program" --help > "$work/out" 2>&1
      grep -q -- "--benchmark_filter" "$work/out" || fail "zkbench --help does not list Google Benchmark's flags" ;;
  esac
done
echo "command lines passed"
