# Starting and stopping the X servers the tests run against. Sourced by scripts/test.
#   start_xvfb        Xvfb with GLX (Mesa's software renderer); exports DISPLAY
#   stop_xservers     stops every server started here

XSERVER_PIDS=()

# A display number with neither a lock file nor a socket.
free_display() {
  local n
  for n in $(seq "${1:-90}" 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

wait_for_display() {
  local display=$1 i
  for i in $(seq 1 100); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "X server on $display did not come up" >&2
  return 1
}

start_xvfb() {
  local n
  n=$(free_display 90)
  Xvfb ":$n" -screen 0 1280x1024x24 +extension GLX -nolisten tcp -noreset \
    >"${XSERVER_LOG_DIR:-/tmp}/xvfb-$n.log" 2>&1 &
  XSERVER_PIDS+=($!)
  wait_for_display ":$n"
  export DISPLAY=":$n"
}

stop_xservers() {
  local pid
  for pid in "${XSERVER_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${XSERVER_PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  XSERVER_PIDS=()
}
