#!/usr/bin/env bash
# The launcher's choice. Sound needs PulseAudio's OSS emulation when the OSS device is
# absent, AUDIODEV is unset or empty and an executable padsp is on PATH; then the launcher
# preloads the emulation library itself when it is in its usual place (named through the
# dynamic linker's $LIB, as padsp names it), and starts the game under padsp otherwise.
# In every other case it starts the game directly. Either way it replaces itself with the
# game (same process id, so signals reach the game), passes every argument unchanged and
# ends with the game's exit status. It finds the game beside its own file, also when it is
# started through symlinks elsewhere.
#
# Usage: launcher_test.sh <launcher> <device> <pulse prefix>. The launcher was configured
# to start the copy of tests/install/fake_game in its own folder, to look for the OSS device
# at <device> and for the emulation library under <pulse prefix>.
set -u
source "$(dirname "$0")/assert.sh"
launcher=$1
device=$2
pulse=$3

work=$(mktemp -d)
trap 'rm -rf "$work" "$pulse"; rm -f "$device"' EXIT
rm -rf "$device" "$pulse"

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

# install_library <folder under the prefix>: puts a stand-in emulation library there.
install_library() {
  rm -rf "$pulse"
  mkdir -p "$pulse/$1/pulseaudio"
  : >"$pulse/$1/pulseaudio/libpulsedsp.so"
}
preload="$pulse/\$LIB/pulseaudio/libpulsedsp.so"

args=("two words" "" "*" "--fullscreen" "ä\$HOME")

# start name shell path_dir status [VAR=value...]: runs the launcher (or the path in $entry
# when set) with exactly the given environment and the arguments above; leaves what the
# game printed in $work/out/<name> (the dynamic linker's complaints about stand-in libraries
# go to <name>.err), the launcher's process id in started_pid and its exit status in
# ended_status.
entry=
start() {
  local name=$1 shell=$2 dir=$3 status=$4
  shift 4
  local cmd=("${entry:-$launcher}")
  [ "$shell" = direct ] || cmd=("$shell" "$launcher")
  env -i PATH="$dir" FAKE_GAME_STATUS="$status" "$@" "${cmd[@]}" "${args[@]}" \
    >"$work/out/$name" 2>"$work/out/$name.err" &
  started_pid=$!
  wait "$started_pid"
  ended_status=$?
}

# check name padsp audiodev ld_preload status: the game's report and exit status.
check() {
  local name=$1 padsp=$2 audiodev=$3 ld_preload=$4 status=$5
  local expected
  expected=$(printf 'pid %s\npadsp %s\nAUDIODEV %s\nLD_PRELOAD %s\n' "$started_pid" "$padsp" \
    "$audiodev" "$ld_preload"
    printf '<%s>\n' "${args[@]}")
  expect_eq "$name: what the game saw" "$expected" "$(cat "$work/out/$name")"
  expect_eq "$name: exit status" "$status" "$ended_status"
}

# Without the library in its usual place. No device, no AUDIODEV, padsp installed: the
# game runs under padsp.
start padsp direct "$work/padsp" 7
check padsp yes unset unset 7
start padsp_bash /bin/bash "$work/padsp" 0
check padsp_bash yes unset unset 0
# An empty AUDIODEV names no device: the game would open the OSS device.
start empty_audiodev direct "$work/padsp" 255 AUDIODEV=
check empty_audiodev yes "" unset 255

# AUDIODEV names a device: the game plays there directly.
start audiodev direct "$work/padsp" 3 AUDIODEV=/tmp/sound.fifo
check audiodev no /tmp/sound.fifo unset 3

# No padsp, or one that cannot be run: direct, silent without a device.
start no_padsp direct "$work/none" 5
check no_padsp no unset unset 5
start dead_padsp direct "$work/dead" 6
check dead_padsp no unset unset 6
start dead_padsp_bash /bin/bash "$work/dead" 6
check dead_padsp_bash no unset unset 6

# Through a relative symlink to an absolute one to the launcher, in a folder of its own: the
# game is found beside the launcher's file, not beside the link. (Resolving links takes
# readlink from the system's PATH; AUDIODEV keeps the system's padsp out of it.)
mkdir "$work/bin"
ln -s "$launcher" "$work/bin/launcher"
ln -s launcher "$work/bin/morvelle"
entry=$work/bin/morvelle
start symlink direct "$work/none:/usr/bin:/bin" 3 AUDIODEV=/tmp/sound.fifo
check symlink no /tmp/sound.fifo unset 3
start symlink_bash /bin/bash "$work/none:/usr/bin:/bin" 0 AUDIODEV=/tmp/sound.fifo
check symlink_bash no /tmp/sound.fifo unset 0
entry=

# An OSS device exists: direct, even with padsp installed.
: >"$device"
start device direct "$work/padsp" 9
check device no unset unset 9
rm -f "$device"

# The library in a multiarch folder (Debian) or in lib64: preloaded by the launcher, in
# front of anything already preloaded; padsp itself is not run.
install_library lib/x86_64-linux-gnu
start preload direct "$work/padsp" 4
check preload no unset "$preload" 4
start preload_bash /bin/bash "$work/padsp" 0
check preload_bash no unset "$preload" 0
start preload_more direct "$work/padsp" 2 LD_PRELOAD=/opt/other.so
check preload_more no unset "$preload /opt/other.so" 2
install_library lib64
start preload_lib64 direct "$work/padsp" 8 AUDIODEV=
check preload_lib64 no "" "$preload" 8
# ...but only when sound needs the emulation and padsp is installed.
start preload_audiodev direct "$work/padsp" 1 AUDIODEV=/tmp/sound.fifo
check preload_audiodev no /tmp/sound.fifo unset 1
start preload_no_padsp direct "$work/none" 1
check preload_no_padsp no unset unset 1
: >"$device"
start preload_device direct "$work/padsp" 1
check preload_device no unset unset 1

finish
