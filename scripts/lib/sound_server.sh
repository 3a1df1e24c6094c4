# Starting and stopping a private PulseAudio server for the tests. Sourced by scripts/test
# and by the tests that stop and restart a server themselves.
#   start_pulse_server DIR  a server whose one output is a silent sink "speakers" (44100 Hz
#                           stereo, recorded through "speakers.monitor"), on the socket
#                           DIR/native, where it answers any client; its pid goes to DIR/pid
#                           and its log to DIR/log. Exports VEXEL_TEST_PULSE_SERVER as the
#                           address (unix:DIR/native) that PULSE_SERVER takes.
#   stop_pulse_server DIR   stops it
#
# The server runs as the calling user, root included: not as a system-wide server
# (--system) but as a private one, with a HOME and runtime folder of its own in DIR, so that
# its cookie, state and pid file stay out of the tester's and out of any desktop server's.

start_pulse_server() {
  local dir=$1 i
  mkdir -p -m 700 "$dir/home" "$dir/runtime"
  rm -f "$dir/native"
  # Without a display it does not try to start a D-Bus session of its own.
  env -u DISPLAY HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -L "module-null-sink sink_name=speakers rate=44100 channels=2" \
    -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  export VEXEL_TEST_PULSE_SERVER="unix:$dir/native"
  for i in $(seq 1 100); do
    pactl -s "$VEXEL_TEST_PULSE_SERVER" info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "The PulseAudio server in $dir did not come up:" >&2
  cat "$dir/log" >&2
  return 1
}

stop_pulse_server() {
  local dir=$1 pid
  [ -f "$dir/pid" ] || return 0
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null
  # Waited for like this, it need not be a child of this shell.
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$dir/pid"
}
