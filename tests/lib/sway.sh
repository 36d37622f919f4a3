# The Wayland compositor of the shell tests and benchmarks, sourced by each
# of them: sway on wlroots' headless backend with its pixman renderer (no
# GPU, no input devices), run as an ordinary user, since sway refuses to run
# as root.
#
# make_sway_user NAME / remove_sway_user: makes the user (removing one left
#   behind first) / ends its processes and removes it.
# start_sway WIDTHxHEIGHT [xwayland]: starts sway as that user with one
#   output of that size, waits up to 20 s for its socket, and sets SWAY_PID,
#   SWAY_RUNTIME (its XDG_RUNTIME_DIR, which the user may write to) and
#   SWAY_USER, the command prefix that runs a program as the user in the
#   session (WAYLAND_DISPLAY and SWAYSOCK set, and with xwayland DISPLAY,
#   XWayland's, which sway starts when the first X client comes). Returns 1,
#   with one line on standard error, when it did not start.
# stop_sway: ends that sway, if it runs.

sway_as_root() { if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi; }

make_sway_user() {
  SWAY_USER_NAME=$1
  remove_sway_user
  sway_as_root useradd --create-home --shell /bin/sh "$SWAY_USER_NAME"
}

remove_sway_user() {
  id "$SWAY_USER_NAME" >/dev/null 2>&1 || return 0
  local pid
  for pid in $(pgrep -u "$SWAY_USER_NAME"); do sway_as_root kill -KILL "$pid" 2>/dev/null; done
  sway_as_root userdel --remove --force "$SWAY_USER_NAME" >/dev/null 2>&1
}

start_sway() {
  local size=$1 xwayland=${2:-} socket=
  SWAY_RUNTIME=$(mktemp -d)
  chmod 700 "$SWAY_RUNTIME"
  {
    echo "output HEADLESS-1 mode $size"
    if [[ $xwayland == xwayland ]]; then echo "xwayland enable"; else echo "xwayland disable"; fi
    # sway names XWayland's display in its own environment only.
    echo "exec echo \"\$DISPLAY\" >$SWAY_RUNTIME/x-display"
  } >"$SWAY_RUNTIME/config"
  sway_as_root chown -R "$SWAY_USER_NAME" "$SWAY_RUNTIME"
  # No shell function in the prefix: a program started in the background
  # with it is then the process that $! names.
  local elevate=()
  [[ $(id -u) == 0 ]] || elevate=(sudo)
  local user=("${elevate[@]}" setpriv --reuid="$SWAY_USER_NAME" --regid="$SWAY_USER_NAME" --init-groups env -i
              HOME="$(getent passwd "$SWAY_USER_NAME" | cut -d: -f6)" PATH=/usr/bin:/bin
              XDG_RUNTIME_DIR="$SWAY_RUNTIME")
  "${user[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$SWAY_RUNTIME/config" >"$SWAY_RUNTIME/sway.log" 2>&1 &
  SWAY_PID=$!
  for _ in $(seq 1 200); do
    socket=$(cd "$SWAY_RUNTIME" && ls sway-ipc.*.sock 2>/dev/null | head -1)
    [[ -n $socket && -S $SWAY_RUNTIME/wayland-1 && -s $SWAY_RUNTIME/x-display ]] && break
    sleep 0.1
  done
  if [[ -z $socket ]]; then
    echo "sway did not start: $(tail -3 "$SWAY_RUNTIME/sway.log")" >&2
    stop_sway
    return 1
  fi
  SWAY_USER=("${user[@]}" WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$SWAY_RUNTIME/$socket")
  if [[ $xwayland == xwayland ]]; then
    SWAY_USER+=(DISPLAY="$(cat "$SWAY_RUNTIME/x-display")")
  fi
}

stop_sway() {
  if [[ -n ${SWAY_PID:-} ]]; then
    sway_as_root kill "$SWAY_PID" 2>/dev/null
    wait "$SWAY_PID" 2>/dev/null
    SWAY_PID=
  fi
  [[ -n ${SWAY_RUNTIME:-} ]] && sway_as_root rm -rf "$SWAY_RUNTIME"
  SWAY_RUNTIME=
}
