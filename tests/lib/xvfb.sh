# The X server of the shell tests and benchmarks, sourced by each of them:
# Xvfb on a display it picks itself (it writes the number it took to a pipe,
# so that servers started side by side never collide).
#
# start_xvfb [XVFB ARGUMENTS...]: starts Xvfb with them (for example
#   -screen 0 1280x800x24), waits until it has a display, then exports
#   DISPLAY and sets XVFB_PID. Its output goes to $XVFB_LOG when set, else
#   nowhere. Returns 1, with one line on standard error, when no server came
#   up within 20 s.
# stop_xvfb: ends the server start_xvfb started, if it runs.

start_xvfb() {
  local pipe number=
  exec {pipe}<> <(:)
  Xvfb -displayfd "$pipe" -nolisten tcp "$@" >"${XVFB_LOG:-/dev/null}" 2>&1 &
  XVFB_PID=$!
  read -r -t 20 -u "$pipe" number
  exec {pipe}<&-
  if [[ -z $number ]]; then
    echo "Xvfb $* did not start${XVFB_LOG:+: $(tail -3 "$XVFB_LOG" 2>/dev/null)}" >&2
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    return 1
  fi
  export DISPLAY=:$number
}

stop_xvfb() {
  if [[ -n ${XVFB_PID:-} ]]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
  fi
}
