#!/usr/bin/env bash
# A program outside the tree built against the installed framework, the way another game
# would: installs the component vexel_dev into a fresh prefix, builds consumer/ either with
# CMake (find_package(Vexel 1.0) through CMAKE_PREFIX_PATH) or with pkg-config alone, runs it
# for a few frames with its sound going to a FIFO, and checks the picture it saved and the
# sound it played. With pkg-config it first compiles every installed header, and checks that
# no private header (internal/, for_testing.h) was installed.
#
# Needs DISPLAY (the test command's Xvfb) and ImageMagick.
# Usage: consumer_test.sh <build dir> <source dir> cmake|pkg-config <c++ compiler> [flags]
#   flags: compiler and linker flags the libraries were built with (the sanitizers)
set -u
source "$(dirname "$0")/assert.sh"
source "$(dirname "$0")/program_run.sh"
build=$1
source_dir=$2
how=$3
cxx=$4
flags=${5:-}
start_program_run

prefix=$work/prefix
if ! cmake --install "$build" --component vexel_dev --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAILED: cmake --install --component vexel_dev" >&2
  exit 1
fi
consumer=$work/vexel_consumer
case $how in
cmake)
  if ! cmake -S "$source_dir/tests/install/consumer" -B "$work/build" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror $flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    >"$work/configure.log" 2>&1 ||
    ! cmake --build "$work/build" >"$work/build.log" 2>&1; then
    cat "$work/configure.log" "$work/build.log" 2>/dev/null >&2
    echo "FAILED: building the consumer with CMake" >&2
    exit 1
  fi
  consumer=$work/build/vexel_consumer
  ;;
pkg-config)
  pc=$(find "$prefix" -name vexel.pc)
  expect "vexel.pc installed" test -f "$pc"
  export PKG_CONFIG_PATH
  PKG_CONFIG_PATH=$(dirname "$pc")
  expect_eq "pkg-config version" 1.0.0 "$(pkg-config --modversion vexel)"
  expect_eq "private headers installed" "" \
    "$(cd "$prefix/include" && find . -path '*/internal/*' -o -name for_testing.h)"
  read -r -a cflags <<<"$(pkg-config --cflags vexel)"
  # Every installed header, in one translation unit: each finds the headers it includes
  # among the installed ones. (scripts/check_public_headers compiles each on its own.)
  headers=$(cd "$prefix/include" && find vexel -name '*.h' | LC_ALL=C sort)
  expect "headers installed" test -n "$headers"
  if ! printf '#include <%s>\n' $headers | "$cxx" -std=c++20 -Wall -Wextra -Werror \
    -fsyntax-only "${cflags[@]}" -x c++ - 2>"$work/headers.log"; then
    cat "$work/headers.log" >&2
    expect "the installed headers compile from outside the tree" false
  fi
  read -r -a libs <<<"$(pkg-config --libs vexel)"
  read -r -a extra <<<"$flags"
  if ! "$cxx" -std=c++20 -Wall -Wextra -Werror "${extra[@]}" "${cflags[@]}" \
    "$source_dir/tests/install/consumer/main.cpp" "${libs[@]}" -o "$consumer" \
    2>"$work/build.log"; then
    cat "$work/build.log" >&2
    echo "FAILED: building the consumer with pkg-config" >&2
    exit 1
  fi
  ;;
*)
  echo "usage: consumer_test.sh <build dir> <source dir> cmake|pkg-config <c++> [flags]" >&2
  exit 2
  ;;
esac

# Run it: 30 frames, the picture saved, the sound read from the FIFO.
drain_sound
(cd "$work" && VEXEL_AUDIO=oss AUDIODEV="$work/dsp" timeout 60 "$consumer" 30 "$work/picture.png")
expect_eq "consumer's exit status" 0 $?
wait_for_sound_drain

expect_eq "picture size" "320x240" "$(identify -format '%wx%h' "$work/picture.png" 2>&1)"
# The background, the picture's gradient (64x64 distinct colours) and the text.
colours=$(identify -format '%k' "$work/picture.png" 2>/dev/null || echo 0)
expect "the picture has the gradient's colours ($colours)" test "$colours" -gt 4000
expect_eq "the gradient's top-left pixel" "0 0 128" "$(convert "$work/picture.png" -format \
  '%[fx:int(255*p{128,88}.r+0.5)] %[fx:int(255*p{128,88}.g+0.5)] %[fx:int(255*p{128,88}.b+0.5)]' \
  info: 2>&1)"
# The tone: 44100 Hz stereo 16-bit from the mixer, not all silence.
expect_audible_sound

finish
