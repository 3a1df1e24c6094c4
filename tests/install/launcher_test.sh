#!/usr/bin/env bash
# The launcher's choice: under padsp when the OSS device is absent, AUDIODEV is unset or
# empty and an executable padsp is on PATH; directly otherwise. Either way it replaces
# itself with the game (same process id, so signals reach the game), passes every argument
# unchanged and ends with the game's exit status.
#
# Usage: launcher_test.sh <launcher> <device>. The launcher was configured to start
# tests/install/fake_game and to look for the OSS device at <device>.
set -u
source "$(dirname "$0")/assert.sh"
launcher=$1
device=$2

work=$(mktemp -d)
trap 'rm -rf "$work"; rm -f "$device"' EXIT
rm -f "$device"

# PATH folders: one with a fake padsp, one without, one whose padsp is not executable.
mkdir "$work/padsp" "$work/none" "$work/dead" "$work/out"
cat >"$work/padsp/padsp" <<'FAKE'
#!/bin/sh
# Stands in for PulseAudio's padsp, which sets up its library and replaces itself with
# the program.
FAKE_PADSP_RAN=yes exec "$@"
FAKE
chmod 755 "$work/padsp/padsp"
cp "$work/padsp/padsp" "$work/dead/padsp"
chmod 644 "$work/dead/padsp"

args=("two words" "" "*" "--fullscreen" "ä\$HOME")

# start name shell path_dir status [VAR=value...]: runs the launcher with exactly the given
# environment and the arguments above; leaves the output in $work/out/<name>, the launcher's
# process id in started_pid and its exit status in ended_status.
start() {
  local name=$1 shell=$2 dir=$3 status=$4
  shift 4
  local cmd=("$launcher")
  [ "$shell" = direct ] || cmd=("$shell" "$launcher")
  env -i PATH="$dir" FAKE_GAME_STATUS="$status" "$@" "${cmd[@]}" "${args[@]}" \
    >"$work/out/$name" 2>&1 &
  started_pid=$!
  wait "$started_pid"
  ended_status=$?
}

# check name padsp audiodev status: the game's report and exit status for one run.
check() {
  local name=$1 padsp=$2 audiodev=$3 status=$4
  local expected
  expected=$(printf 'pid %s\npadsp %s\nAUDIODEV %s\n' "$started_pid" "$padsp" "$audiodev"
    printf '<%s>\n' "${args[@]}")
  expect_eq "$name: what the game saw" "$expected" "$(cat "$work/out/$name")"
  expect_eq "$name: exit status" "$status" "$ended_status"
}

# No device, no AUDIODEV, padsp installed: sound goes through padsp.
start padsp direct "$work/padsp" 7
check padsp yes unset 7
start padsp_bash /bin/bash "$work/padsp" 0
check padsp_bash yes unset 0
# An empty AUDIODEV names no device: the game would open the OSS device.
start empty_audiodev direct "$work/padsp" 255 AUDIODEV=
check empty_audiodev yes "" 255

# AUDIODEV names a device: the game plays there directly.
start audiodev direct "$work/padsp" 3 AUDIODEV=/tmp/sound.fifo
check audiodev no /tmp/sound.fifo 3

# No padsp, or one that cannot be run: direct, silent without a device.
start no_padsp direct "$work/none" 5
check no_padsp no unset 5
start dead_padsp direct "$work/dead" 6
check dead_padsp no unset 6
start dead_padsp_bash /bin/bash "$work/dead" 6
check dead_padsp_bash no unset 6

# An OSS device exists: direct, even with padsp installed.
: >"$device"
start device direct "$work/padsp" 9
check device no unset 9
rm -f "$device"

finish
