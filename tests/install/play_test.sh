#!/usr/bin/env bash
# scripts/play on a clean clone without a usable X display: it says so and exits with status
# 1 within seconds, having installed and built nothing (no build folder appears). Once
# without DISPLAY, once with DISPLAY naming a display where no server listens.
#
# Usage: play_test.sh <source dir>
set -u
source "$(dirname "$0")/assert.sh"
source_dir=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A clone's scripts with nothing built beside them.
cp -r "$source_dir/scripts" "$work/"

# run name [VAR=value...]: runs scripts/play with the system's PATH and the given
# environment; leaves its exit status in status, its output in $work/<name>.out and .err, and
# how long it took in elapsed_ms.
run() {
  local name=$1 begin
  shift
  begin=$(date +%s%N)
  env -i PATH=/usr/bin:/bin HOME="$work" "$@" "$work/scripts/play" \
    >"$work/$name.out" 2>"$work/$name.err"
  status=$?
  elapsed_ms=$((($(date +%s%N) - begin) / 1000000))
}

run unset
expect_eq "without DISPLAY: status" 1 "$status"
expect_eq "without DISPLAY: message" "scripts/play: no X display (DISPLAY is not set); run it\
 in a terminal of a desktop session. Nothing was installed or built." "$(cat "$work/unset.err")"
expect "without DISPLAY: done in under 5 s ($elapsed_ms ms)" test "$elapsed_ms" -lt 5000

number=199
while [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number - 1)); done
run dead DISPLAY=":$number.0"
expect_eq "no server: status" 1 "$status"
expect_eq "no server: message" "scripts/play: no X server listens on the display :$number.0;\
 run it in a terminal of a desktop session. Nothing was installed or built." \
  "$(cat "$work/dead.err")"
expect "no server: done in under 5 s ($elapsed_ms ms)" test "$elapsed_ms" -lt 5000

expect_eq "nothing printed on standard output" "" "$(cat "$work/unset.out" "$work/dead.out")"
expect_eq "files beside the scripts" scripts "$(ls -A "$work" | grep -v '\.\(out\|err\)$')"

finish
