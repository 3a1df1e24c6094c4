#!/usr/bin/env bash
# Runs an example program as a user would, for a number of frames, with its sound going to a
# FIFO, and checks what it left: the picture it saved of its last frame (a PNG of the given
# size, not black, with at least the given number of colours) and, when asked, the sound it
# played (bytes that are not all silence).
#
# Needs DISPLAY (the test command's Xvfb) and ImageMagick.
# Usage: run_example.sh <program> <frames> <width>x<height> <colours> [sound]
set -u
source "$(dirname "$0")/../install/assert.sh"
program=$1
frames=$2
size=$3
least_colours=$4
sound=${5:-}
if [ -z "${DISPLAY:-}" ]; then
  echo "FAILED: DISPLAY is not set; this test runs against the test command's X server" >&2
  exit 1
fi

work=$(mktemp -d)
drain_pid=""
cleanup() {
  [ -n "$drain_pid" ] && kill "$drain_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/dsp"
if [ "$sound" = sound ]; then
  cat "$work/dsp" >"$work/sound.raw" &
  drain_pid=$!
fi
AUDIODEV="$work/dsp" timeout 120 "$program" "$frames" "$work/picture.png"
expect_eq "exit status" 0 $?
# The drain ends once the program has closed the FIFO; if it never opened it, it is stopped.
for _ in $(seq 50); do
  [ -n "$drain_pid" ] && kill -0 "$drain_pid" 2>/dev/null || break
  sleep 0.1
done

expect_eq "picture size" "$size" "$(identify -format '%wx%h' "$work/picture.png" 2>&1)"
colours=$(identify -format '%k' "$work/picture.png" 2>/dev/null || echo 0)
expect "the picture has at least $least_colours colours ($colours)" \
  test "$colours" -ge "$least_colours"
expect "the picture is not black" test "$(convert "$work/picture.png" -format '%[fx:maxima>0]' info:)" = 1
if [ "$sound" = sound ]; then
  expect "sound was played" test -s "$work/sound.raw"
  expect "the sound is not silent" \
    test -n "$(od -An -v -tx1 "$work/sound.raw" | tr -d ' 0\n' | head -c 1)"
fi

finish
