#!/usr/bin/env bash
# The installed game, started through the installed launcher as a player would: installs
# into a staging folder whose Data folder is then made read-only, starts the launcher with
# HOME in a fresh folder, waits for the title screen (the play button drawn at rest, pixel
# for pixel), presses Escape and checks the exit status 0, the farewell sound, and the
# options and high-score files written under $HOME/.local/share/morvelle/ and nowhere in
# the installed tree. Run as root, the game gets no capabilities, so that the installed
# tree is as unwritable for it as for a player.
#
# The sound goes either to a FIFO named in AUDIODEV ("fifo"), or, as on a desktop without
# OSS ("pulseaudio"), to a private PulseAudio server of the player's own, found where a
# desktop's is, whose one output is recorded.
#
# Needs DISPLAY (the test command's Xvfb), xdotool and ImageMagick; for "pulseaudio" also
# pulseaudio and pulseaudio-utils.
# Usage: installed_game_test.sh <build dir> fifo|pulseaudio
set -u
source "$(dirname "$0")/assert.sh"
build=$1
sound=$2
if [ -z "${DISPLAY:-}" ]; then
  echo "FAILED: DISPLAY is not set; this test runs against the test command's X server" >&2
  exit 1
fi

work=$(mktemp -d)
game_pid=""
drain_pid=""
server_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
  [ -n "$drain_pid" ] && kill "$drain_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

stage=$work/stage
if ! DESTDIR=$stage cmake --install "$build" --component game --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAILED: cmake --install" >&2
  exit 1
fi
chmod -R a-w "$stage/usr/share/games/morvelle/Data" "$stage/usr/lib/games/morvelle"

# The game names its window through _NET_WM_NAME only when the server knows that atom, as
# it does under any window manager; a bare Xvfb learns it here.
xprop -root -f _NET_WM_NAME 8u -set _NET_WM_NAME Desktop && xprop -root -remove _NET_WM_NAME

home=$work/home
mkdir "$home"
run=(env -i DISPLAY="$DISPLAY" HOME="$home" USERNAME=Spieler PATH=/usr/bin:/bin
  ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
  UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")
if [ "$sound" = fifo ]; then
  # The OSS device, even where a sound server answers.
  mkfifo "$work/sound.fifo"
  cat "$work/sound.fifo" >"$work/sound.raw" &
  drain_pid=$!
  run+=(AUDIODEV="$work/sound.fifo" VEXEL_AUDIO=oss)
else
  # A server of the player's own (XDG_RUNTIME_DIR) with a silent output, whose monitor is
  # recorded as the 44100 Hz stereo the game mixes.
  # Its HOME keeps its cookie and settings out of the tester's own.
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work/server-home
  mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L "module-null-sink sink_name=speakers" -L module-native-protocol-unix \
    >"$work/pulseaudio.log" 2>&1 &
  server_pid=$!
  for attempt in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 >"$work/sound.raw" &
  drain_pid=$!
  run+=(XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
fi
run+=("$stage/usr/games/morvelle")
if [ "$(id -u)" -eq 0 ]; then
  run=(setpriv --inh-caps=-all --ambient-caps=-all --bounding-set=-all -- "${run[@]}")
fi
"${run[@]}" >"$work/game.out" 2>&1 &
game_pid=$!

# The title screen: the window appears, then the play button shows its rest frame with its
# top-left corner at (384, 96). Compare the opaque pixels of the frame's middle row.
# xwininfo lists the window by its _NET_WM_NAME, with its size.
window=""
for attempt in $(seq 1 150); do
  window=$(xwininfo -root -tree | awk '/ "Morvelle": .* 1024x512\+/ { print $1; exit }')
  [ -n "$window" ] && break
  sleep 0.2
done
expect "the game's window appears" test -n "$window"
menu=$build/game/Data/gfx/MenuButtons.png
# "x RRGGBB" for each pixel of a one-row ImageMagick text dump; opaque ones only when asked.
pixels() { awk -v opaque="$1" 'NR > 1 && (!opaque || substr($3, 8, 2) == "FF") {
  split($1, xy, ","); print xy[1], substr($3, 2, 6) }'; }
convert "$menu" -crop 256x1+0+32 +repage -depth 8 txt:- | pixels 1 >"$work/button.txt"
expect "the button's row has opaque pixels" test "$(wc -l <"$work/button.txt")" -gt 100
shown=""
for attempt in $(seq 1 50); do
  if [ -n "$window" ] &&
    import -window "$window" -crop 256x1+384+128 +repage -depth 8 txt:- 2>/dev/null | pixels 0 >"$work/window.txt" &&
    awk 'NR == FNR { want[$1] = $2; wanted++; next }
         ($1 in want) && want[$1] == $2 { same++ }
         END { exit !(wanted > 0 && same == wanted) }' "$work/button.txt" "$work/window.txt"; then
    shown=yes
    break
  fi
  sleep 0.2
done
expect_eq "the title screen's play button at rest" yes "$shown"

xdotool mousemove --window "$window" 512 281 key Escape
timeout 60 bash -c "while kill -0 $game_pid 2>/dev/null; do sleep 0.1; done"
wait "$game_pid"
status=$?
game_pid=""
expect_eq "exit status" 0 "$status"
expect_eq "the game's output" "" "$(cat "$work/game.out")"
if [ "$sound" = fifo ]; then
  # The FIFO's reader ends when the game closes the device.
  timeout 10 bash -c "while kill -0 $drain_pid 2>/dev/null; do sleep 0.1; done"
else
  # Let the server pass on what it still holds, then stop recording.
  sleep 1
  kill "$drain_pid"
  wait "$drain_pid" 2>/dev/null
fi
drain_pid=""
expect "the farewell sound reached the device" test "$(tr -d '\0' <"$work/sound.raw" | head -c 1 | wc -c)" -eq 1

# Options: the name from USERNAME, CR LF, sound on as a 32-bit 1. High scores: the ten
# default entries, 1315 down to 10, each "Orlan" CR LF and the points little-endian.
saved=$home/.local/share/morvelle
expect_eq "options file" "537069656c65720d0a01000000" "$(od -An -tx1 -v "$saved/Options" | tr -d ' \n')"
expected_scores=""
for points in 1315 1050 815 610 435 290 175 90 35 10; do
  expected_scores+="4f726c616e0d0a$(printf '%02x%02x0000' $((points & 255)) $((points >> 8)))"
done
expect_eq "high-score file" "$expected_scores" "$(od -An -tx1 -v "$saved/High.Score" | tr -d ' \n')"
expect_eq "files in the installed tree" "" \
  "$(find "$stage" \( -name Options -o -name High.Score -o -name '*.tmp' \) -print)"
expect_eq "files in the saves folder" "$(printf 'High.Score\nOptions')" "$(ls "$saved")"

finish
