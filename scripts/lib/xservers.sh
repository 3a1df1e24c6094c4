# Starting and stopping the X servers the tests run against. Sourced by scripts/test.
#   start_xvfb        Xvfb with GLX (Mesa's software renderer); exports DISPLAY
#   start_big_xvfb    a second Xvfb with a 3840x2160 screen and no window manager; exports
#                     VEXEL_BIG_DISPLAY for the scaled-window and desktop full-screen tests
#   start_wm_xvfb     an Xvfb with a 1920x1080 screen run by openbox, a window manager that
#                     follows the extended hints; exports VEXEL_WM_DISPLAY for the full-screen
#                     test under a window manager
#   start_xorg_dummy  Xorg with the dummy video driver, which has the video-mode extension
#                     Xvfb lacks; exports VEXEL_FULLSCREEN_DISPLAY for the full-screen tests
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

start_big_xvfb() {
  local n
  n=$(free_display 120)
  Xvfb ":$n" -screen 0 3840x2160x24 +extension GLX -nolisten tcp -noreset \
    >"${XSERVER_LOG_DIR:-/tmp}/xvfb-big-$n.log" 2>&1 &
  XSERVER_PIDS+=($!)
  wait_for_display ":$n"
  export VEXEL_BIG_DISPLAY=":$n"
}

# The manager is up once it has claimed the root window (_NET_SUPPORTING_WM_CHECK).
start_wm_xvfb() {
  local n i logdir
  n=$(free_display 170)
  logdir="${XSERVER_LOG_DIR:-/tmp}"
  Xvfb ":$n" -screen 0 1920x1080x24 +extension GLX -nolisten tcp -noreset \
    >"$logdir/xvfb-wm-$n.log" 2>&1 &
  XSERVER_PIDS+=($!)
  wait_for_display ":$n" || return 1
  DISPLAY=":$n" openbox --sm-disable >"$logdir/openbox-$n.log" 2>&1 &
  XSERVER_PIDS+=($!)
  for i in $(seq 1 100); do
    if xprop -display ":$n" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      export VEXEL_WM_DISPLAY=":$n"
      return 0
    fi
    sleep 0.1
  done
  echo "openbox did not come up on :$n" >&2
  return 1
}

# Xorg only reads a configuration given by absolute path when run as root; without root the
# full-screen tests are skipped (VEXEL_FULLSCREEN_DISPLAY stays unset) and this says why.
start_xorg_dummy() {
  local n logdir
  if [ "$(id -u)" -ne 0 ]; then
    echo "Not root: the Xorg dummy server is not started; the full-screen tests will skip." >&2
    return 0
  fi
  n=$(free_display 150)
  logdir="${XSERVER_LOG_DIR:-/tmp}"
  # An empty configuration directory keeps the machine's own xorg.conf.d out of it.
  mkdir -p "$logdir/xorg-dummy.d"
  Xorg ":$n" -config "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/xorg-dummy.conf" \
    -configdir "$logdir/xorg-dummy.d" -noreset -nolisten tcp \
    -logfile "$logdir/xorg-dummy-$n.log" >"$logdir/xorg-dummy-$n.out" 2>&1 &
  XSERVER_PIDS+=($!)
  wait_for_display ":$n"
  export VEXEL_FULLSCREEN_DISPLAY=":$n"
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
