#!/usr/bin/env bash
# The launcher replaces itself with the game (same process id, so signals reach the game),
# passes every argument and the environment unchanged (nothing preloaded, no sound wrapper)
# and ends with the game's exit status. It finds the game beside its own file, also when it
# is started through symlinks elsewhere.
#
# Usage: launcher_test.sh <launcher>. The launcher was configured to start the copy of
# tests/install/fake_game in its own folder.
set -u
source "$(dirname "$0")/assert.sh"
launcher=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/out"

args=("two words" "" "*" "--fullscreen" "ä\$HOME")

# start name shell status [VAR=value...]: runs the launcher (or the path in $entry when set)
# with exactly the given environment (PATH has readlink, for resolving links) and the
# arguments above; leaves what the game printed in $work/out/<name>, the launcher's process
# id in started_pid and its exit status in ended_status.
entry=
start() {
  local name=$1 shell=$2 status=$3
  shift 3
  local cmd=("${entry:-$launcher}")
  [ "$shell" = direct ] || cmd=("$shell" "$launcher")
  env -i PATH=/usr/bin:/bin FAKE_GAME_STATUS="$status" "$@" "${cmd[@]}" "${args[@]}" \
    >"$work/out/$name" 2>"$work/out/$name.err" &
  started_pid=$!
  wait "$started_pid"
  ended_status=$?
}

# check name audiodev ld_preload status: the game's report and exit status.
check() {
  local name=$1 audiodev=$2 ld_preload=$3 status=$4
  local expected
  expected=$(printf 'pid %s\nAUDIODEV %s\nLD_PRELOAD %s\n' "$started_pid" "$audiodev" \
    "$ld_preload"
    printf '<%s>\n' "${args[@]}")
  expect_eq "$name: what the game saw" "$expected" "$(cat "$work/out/$name")"
  expect_eq "$name: exit status" "$status" "$ended_status"
}

start direct direct 7
check direct unset unset 7
start bash /bin/bash 0
check bash unset unset 0
# What the player set reaches the game as it is.
start environment direct 255 AUDIODEV=/tmp/sound.fifo LD_PRELOAD=
check environment /tmp/sound.fifo "" 255

# Through a relative symlink to an absolute one to the launcher, in a folder of its own: the
# game is found beside the launcher's file, not beside the link.
mkdir "$work/bin"
ln -s "$launcher" "$work/bin/launcher"
ln -s launcher "$work/bin/morvelle"
entry=$work/bin/morvelle
start symlink direct 3
check symlink unset unset 3
start symlink_bash /bin/bash 0
check symlink_bash unset unset 0
entry=

finish
