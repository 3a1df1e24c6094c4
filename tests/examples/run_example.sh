#!/usr/bin/env bash
# Runs an example program as a user would, for a number of frames, with its sound going to a
# FIFO, and checks what it left: the picture it saved of its last frame (a PNG of the given
# size, not black, with at least the given number of colours) and, when asked, the sound it
# played (bytes that are not all silence), or the file it saved in its per-user folder.
#
# Needs DISPLAY (the test command's Xvfb) and ImageMagick.
# Usage: run_example.sh <program> <frames> <width>x<height> <colours> [sound|saves]
set -u
source "$(dirname "$0")/../install/assert.sh"
source "$(dirname "$0")/../install/program_run.sh"
program=$1
frames=$2
size=$3
least_colours=$4
sound=${5:-}
start_program_run
[ "$sound" = sound ] && drain_sound
VEXEL_AUDIO=oss AUDIODEV="$work/dsp" XDG_DATA_HOME="$work/data" timeout 120 "$program" "$frames" "$work/picture.png"
expect_eq "exit status" 0 $?
wait_for_sound_drain

expect_eq "picture size" "$size" "$(identify -format '%wx%h' "$work/picture.png" 2>&1)"
colours=$(identify -format '%k' "$work/picture.png" 2>/dev/null || echo 0)
expect "the picture has at least $least_colours colours ($colours)" \
  test "$colours" -ge "$least_colours"
expect "the picture is not black" test "$(convert "$work/picture.png" -format '%[fx:maxima>0]' info:)" = 1
[ "$sound" = sound ] && expect_audible_sound
if [ "$sound" = saves ]; then
  expect_eq "the count saved in the per-user folder" "1" \
    "$(tr -d '\r' <"$work/data/vexel-examples/runs.txt" 2>&1)"
fi

finish
