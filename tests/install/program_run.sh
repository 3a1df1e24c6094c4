# Running a Vexel program for a few frames as a user would, against the test command's X
# server, with its sound going to a FIFO; sourced by the example and consumer tests after
# assert.sh.
#   start_program_run        fails unless DISPLAY is set; makes the work folder $work,
#                            removed (and any sound drain stopped) when the test ends
#   drain_sound              reads the FIFO $work/dsp into $work/sound.raw in the background
#   wait_for_sound_drain     waits up to 5 s for the drain to end after the program closed
#                            the FIFO (a program that never opened it leaves it to cleanup)
#   expect_audible_sound     $work/sound.raw holds bytes and not all of them are silence

start_program_run() {
  if [ -z "${DISPLAY:-}" ]; then
    echo "FAILED: DISPLAY is not set; this test runs against the test command's X server" >&2
    exit 1
  fi
  work=$(mktemp -d)
  drain_pid=""
  trap 'finish_program_run' EXIT
  mkfifo "$work/dsp"
}

finish_program_run() {
  [ -n "$drain_pid" ] && kill "$drain_pid" 2>/dev/null
  rm -rf "$work"
}

drain_sound() {
  cat "$work/dsp" >"$work/sound.raw" &
  drain_pid=$!
}

wait_for_sound_drain() {
  [ -n "$drain_pid" ] || return 0
  for _ in $(seq 50); do
    kill -0 "$drain_pid" 2>/dev/null || return 0
    sleep 0.1
  done
}

expect_audible_sound() {
  expect "sound was played" test -s "$work/sound.raw"
  expect "the sound is not silent" \
    test -n "$(od -An -v -tx1 "$work/sound.raw" | tr -d ' 0\n' | head -c 1)"
}
