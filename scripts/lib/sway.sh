# Starting and stopping the headless Sway compositor the Wayland tests run against. Sourced by
# scripts/test beside xservers.sh.
#   start_sway  headless Sway (software rendering, no input devices) as the unprivileged user
#               vexel-sway, made when missing, since Sway refuses to run as root; exports
#               VEXEL_WAYLAND_SOCKET (the absolute path of its socket) and VEXEL_SWAYSOCK (its
#               IPC socket, for swaymsg). WAYLAND_DISPLAY stays unset, so that every other
#               test keeps choosing X11.
#   stop_sway   stops it

SWAY_PID=
SWAY_RUNTIME=

start_sway() {
  local user=vexel-sway i socket ipc logdir
  logdir="${XSERVER_LOG_DIR:-/tmp}"
  if [ "$(id -u)" -eq 0 ]; then
    if ! id "$user" >/dev/null 2>&1; then
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    fi
  else
    user=$(id -un)
  fi
  SWAY_RUNTIME=$(mktemp -d /tmp/vexel-sway.XXXXXX)
  chmod 700 "$SWAY_RUNTIME"
  # One 1920x1080 output, no bar, no Xwayland: the tests talk Wayland only.
  cat >"$SWAY_RUNTIME/config" <<'CONFIG'
output HEADLESS-1 resolution 1920x1080 position 0 0 scale 1
xwayland disable
default_border normal
focus_follows_mouse no
CONFIG
  chown -R "$user" "$SWAY_RUNTIME"
  local run=(env)
  [ "$(id -u)" -eq 0 ] && run=(runuser -u "$user" -- env)
  "${run[@]}" -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$SWAY_RUNTIME" HOME="$SWAY_RUNTIME" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$SWAY_RUNTIME/config" >"$logdir/sway.log" 2>&1 &
  SWAY_PID=$!
  for i in $(seq 1 100); do
    socket=$(find "$SWAY_RUNTIME" -maxdepth 1 -type s -name 'wayland-*' | head -1)
    ipc=$(find "$SWAY_RUNTIME" -maxdepth 1 -type s -name 'sway-ipc.*' | head -1)
    if [ -n "$socket" ] && [ -n "$ipc" ] && SWAYSOCK="$ipc" swaymsg -t get_outputs >/dev/null 2>&1; then
      export VEXEL_WAYLAND_SOCKET="$socket" VEXEL_SWAYSOCK="$ipc"
      return 0
    fi
    sleep 0.1
  done
  echo "Sway did not come up; see $logdir/sway.log" >&2
  return 1
}

stop_sway() {
  if [ -n "$SWAY_PID" ]; then
    # runuser does not pass the signal on: Sway, its child, is stopped first, and waited
    # for (up to five seconds), since it is not this shell's child.
    local sway i
    sway=$(pgrep -P "$SWAY_PID" || true)
    [ -n "$sway" ] && kill $sway 2>/dev/null
    for i in $(seq 1 50); do
      [ -z "$sway" ] && break
      kill -0 $sway 2>/dev/null || break
      sleep 0.1
    done
    kill "$SWAY_PID" 2>/dev/null || true
    wait "$SWAY_PID" 2>/dev/null || true
  fi
  [ -n "$SWAY_RUNTIME" ] && rm -rf "$SWAY_RUNTIME"
  SWAY_PID=
  SWAY_RUNTIME=
}
