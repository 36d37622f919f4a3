#!/usr/bin/env bash
# Attacks lumvane /s on Xvfb: odd window sizes while it runs, 8/16/24/30-bit
# screens, the X server killed (during the run and under a message box),
# SIGSTOP/SIGCONT, SIGTERM and SIGINT at start, during the run and during
# the wipe, media and unnamed keys, signals under message boxes, signals
# while the X server does not answer, a closed standard error, the screen
# DISPLAY names, another program's window opening over the saver (with and
# without a window manager), two savers at once, and as a hack on an 8-bit
# screen. Every case must end with the exit code the README's table gives,
# with no sanitizer report and no process left behind.
# Usage: xvfb_stress.sh PATH/TO/lumvane [PATH/TO/x_intruder]
set -uo pipefail
set -m  # background jobs keep SIGINT (a shell without job control ignores it for them)
saver=$1
intruder=${2:-}
source "$(dirname "$0")/lib/xvfb.sh"
work=$(mktemp -d)
export LSAN_OPTIONS=suppressions=$(cd "$(dirname "$0")" && pwd)/lsan-system.supp
failures=0
trap 'stop_xvfb; rm -rf "$work"' EXIT

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done

start_x() {
  stop_xvfb
  start_xvfb -screen 0 "$1" || { echo "FAIL: Xvfb $1 did not start"; exit 1; }
}

fail() {
  echo "FAIL: $case: $*"
  sed 's/^/  saver: /' "$work/stderr" 2>/dev/null | head -20
  failures=$((failures + 1))
}

start() {
  "$saver" "$@" 2>"$work/stderr" &
  pid=$!
  children=
}

# poll_until SECONDS COMMAND...: true as soon as the command is, false when
# the time is up. A busy machine (this runs beside the sanitizer suite) may
# take several seconds to show a window.
poll_until() {
  local tries=$(( $1 * 20 ))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.05; done
  return 1
}

found_window() { window=$(xdotool search --name '^Lumvane$' 2>/dev/null | head -1); [[ -n "$window" ]]; }
wait_window() {
  window=
  poll_until 20 found_window && { sleep 0.5; return 0; }
  fail "no window"
  return 1
}

# A message box is drawn by a child process of the saver.
found_box() { children=$(cat "/proc/$pid/task/$pid/children" 2>/dev/null); [[ -n "$children" ]]; }
wait_box() {
  poll_until 20 found_box && { sleep 0.7; return 0; }
  fail "no message box"
  return 1
}

running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)
  [[ -n "$state" && "$state" != Z ]]
}
ended() { ! running "$1"; }

# finish EXPECTED...: the saver ends within 10 s with one of the codes.
finish() {
  if ! poll_until 10 ended "$pid"; then
    fail "still running"
    kill -9 "$pid"
  fi
  wait "$pid"
  local code=$? ok=
  for expected in "$@"; do [[ "$code" == "$expected" ]] && ok=1; done
  [[ -n "$ok" ]] || fail "exit code $code, expected $*"
  if grep -qE "AddressSanitizer|LeakSanitizer|runtime error" "$work/stderr"; then
    fail "sanitizer report"
    cat "$work/stderr"
  fi
  sleep 0.2
  for child in $children; do
    if running "$child"; then
      fail "process $child left behind"
      kill -9 "$child"
    fi
  done
}

# Lit channels (above 24 of 255) in a screenshot of the window a second into
# the opening: its noise points give some 15000 at every depth, a black
# screen none.
picture_shown() {
  local lit
  lit=$(import -window "$window" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w64 |
        awk '{ for (i = 1; i <= NF; ++i) if ($i > 24) ++n } END { print n + 0 }')
  ((lit > 2000)) || fail "nothing shown ($lit lit channels)"
}

begin() {
  case=$1
  echo "== $case"
}

start_x 1024x768x24

begin "odd sizes while running, then a key (A, 65)"
start /s
if wait_window; then
  for size in "300 768" "100 768" "200 100" "1 1" "1024 100" "301 767"; do
    xdotool windowsize "$window" $size
    sleep 0.3
  done
  xdotool key a
fi
finish 65

begin "media key XF86AudioPlay (VK_MEDIA_PLAY_PAUSE, 179)"
start /s
wait_window && xdotool key XF86AudioPlay
finish 179

# xdotool maps F13 to a spare key code for the press and back right after:
# read in time it is VK_F13 (124), too late a key Windows has no code for
# (255). Either way it ends the saver.
begin "F13, a key SDL cannot name here (124, or 255 when unmapped too soon)"
start /s
wait_window && xdotool key F13
finish 124 255

begin "SIGSTOP and SIGCONT, then a key (65)"
start /s
if wait_window; then
  kill -STOP "$pid"; sleep 0.5; kill -CONT "$pid"; sleep 0.3
  xdotool key a
fi
finish 65

begin "SIGTERM at start (killed: 143; once SDL listens: a close request, 0)"
start /s
sleep 0.05
kill -TERM "$pid"
finish 143 0

begin "SIGTERM during the run (a close request, 0)"
start /s
wait_window && kill -TERM "$pid"
finish 0

begin "SIGINT during the run (a close request, 0)"
start /s
wait_window && kill -INT "$pid"
finish 0

begin "SIGTERM during a year-long swap interval (ignored value; 0)"
FX_GLIDE_SWAPINTERVAL=2147483647 start /s
wait_window && kill -TERM "$pid"
finish 0

begin "SIGTERM during the wipe (the key's code, 65)"
start /s
if wait_window; then
  xdotool key a
  sleep 0.1  # the key taken: the twenty frames (a third of a second) of the wipe run
  kill -TERM "$pid"
fi
finish 65

begin "SIGTERM under the notice (0) takes the box with it"
start /c
wait_box && kill -TERM "$pid"
finish 0

begin "SIGINT under the assertion box (255)"
FX_GLIDE_NO_BOARD=1 start /s
wait_box && kill -INT "$pid"
finish 255

begin "SIGKILL under the assertion box (137) takes the box with it"
FX_GLIDE_NO_BOARD=1 start /s
wait_box && kill -KILL "$pid"
finish 137

begin "X server killed during the run (as a close request, 0)"
start /s
wait_window && stop_xvfb
finish 0

start_x 1024x768x24
begin "X server killed under the assertion box (255)"
FX_GLIDE_NO_BOARD=1 start /s
wait_box && stop_xvfb
finish 255

for depth in 8 16 24 30; do
  start_x "640x480x$depth"
  begin "$depth-bit screen: the picture shows, a key ends it (65)"
  start /s
  if wait_window; then
    picture_shown
    xdotool key a
  fi
  finish 65
done

begin "a closed standard error: a diagnostic never reaches the X connection (A, 65)"
start_x 640x480x24
SST_GAMMA=2.2x "$saver" /s 2>&- &
pid=$!
children=
: >"$work/stderr"
if wait_window; then
  xdotool key a
fi
finish 65

begin "SIGTERM while the X server does not answer (0, at once)"
start /s
if wait_window; then
  kill -STOP "$XVFB_PID"
  kill -TERM "$pid"
fi
finish 0
kill -CONT "$XVFB_PID" 2>/dev/null

# A server that takes the connection and never answers: the saver waits in
# its start-up, where a signal ends it as by default.
begin "SIGTERM and SIGINT while a display server never answers (killed: 143, 130)"
python3 -c 'import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind(("127.0.0.1", 6050)); s.listen(8)
held = []
while True: held.append(s.accept()[0])' &
listener=$!
sleep 0.5
for signal in TERM INT; do
  DISPLAY=127.0.0.1:50 start /s
  sleep 1
  kill -"$signal" "$pid"
  if [[ $signal == TERM ]]; then finish 143; else finish 130; fi
done
kill "$listener" 2>/dev/null; wait "$listener" 2>/dev/null

begin "DISPLAY names screen 1: that screen is covered, the other left alone (65)"
for depth in 24 8; do
  start_xvfb_screens() { stop_xvfb; start_xvfb -screen 0 320x240x24 -screen 1 "640x480x$depth" -wr; }
  start_xvfb_screens || { fail "Xvfb with two screens did not start"; continue; }
  screens=$DISPLAY
  DISPLAY=$screens.1 start /s
  if DISPLAY=$screens.1 wait_window; then
    sleep 0.5
    first=$(DISPLAY=$screens.0 import -window root -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null)
    second=$(DISPLAY=$screens.1 import -window root -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null)
    awk -v a="$first" 'BEGIN { exit !(a > 0.99) }' || fail "$depth-bit screen 1: screen 0 was covered (mean $first)"
    awk -v b="$second" 'BEGIN { exit !(b < 0.5) }' || fail "$depth-bit screen 1: it was not covered (mean $second)"
    DISPLAY=$screens.1 xdotool key a
  fi
  finish 65
done

if [[ -n $intruder ]]; then
  # The saver's window stays above a window that opens later and holds the
  # keyboard; the intruder's corner shows the saver's picture, not white.
  intrude() {
    coproc INTRUDER { exec "$intruder" 200 150; }
    local id
    read -r -t 10 id <&"${INTRUDER[0]}" || fail "the intruding window did not open"
    sleep 1
    local corner
    corner=$(import -window root -crop 200x150+0+0 +repage -colorspace Gray -format "%[fx:mean]" info: 2>/dev/null)
    awk -v c="$corner" 'BEGIN { exit !(c < 0.5) }' || fail "the intruding window lies above the saver (mean $corner)"
  }
  end_intruder() {
    [[ -n ${INTRUDER_PID:-} ]] || return 0
    local input=${INTRUDER[1]}
    exec {input}>&-
    wait "$INTRUDER_PID" 2>/dev/null
  }
  for manager in none openbox; do
    begin "a window that opens during the run, window manager: $manager (stays below; A, 65)"
    start_x 640x480x24
    manager_pid=
    if [[ $manager == openbox ]]; then
      if ! command -v openbox >/dev/null; then echo "SKIP: openbox is not installed"; continue; fi
      openbox >/dev/null 2>&1 &
      manager_pid=$!
      sleep 1
    fi
    start /s
    if wait_window; then
      sleep 1
      intrude
      xdotool key a
    fi
    finish 65
    end_intruder
    [[ -n $manager_pid ]] && { kill "$manager_pid" 2>/dev/null; wait "$manager_pid" 2>/dev/null; }
  done

  # The pointer entering the saver's window as windows come and go over it
  # is no mouse move: four of them leave it running, five real moves end it.
  begin "windows coming and going over an idle pointer are no mouse moves (then five moves, 0)"
  start_x 640x480x24
  xdotool mousemove 100 100
  start /s
  if wait_window; then
    for _ in 1 2 3 4 5; do
      coproc INTRUDER { exec "$intruder" 640 480; }
      read -r -t 10 _ <&"${INTRUDER[0]}" || fail "the intruding window did not open"
      sleep 0.3
      end_intruder
      sleep 0.3
    done
    running "$pid" || fail "the saver ended while the pointer stood still"
    for x in 150 200 250 300 350; do xdotool mousemove "$x" 120; sleep 0.2; done
  fi
  finish 0
fi

# A daemon's window on an 8-bit screen indexes a colour map: the hack draws
# in its nearest colours (the noise and stars light the screen).
begin "as a hack on an 8-bit PseudoColor screen: the picture shows (SIGTERM, 0)"
start_x 800x600x8
start --root
sleep 2
lit=$(import -window root -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w64 |
      awk '{ for (i = 1; i <= NF; ++i) if ($i > 24) ++n } END { print n + 0 }')
((lit > 2000)) || fail "nothing shown on the root window ($lit lit channels)"
kill -TERM "$pid"
finish 0

begin "two savers at once: the first key ends one, the next key the other (65, 66)"
start_x 640x480x24
start /s
first_pid=$pid
wait_window
start /s
second_pid=$pid
both() { [[ $(xdotool search --name '^Lumvane$' 2>/dev/null | wc -l) -ge 2 ]]; }
poll_until 20 both || fail "two windows did not come"
sleep 1
xdotool key a
if poll_until 10 ended "$first_pid" || poll_until 1 ended "$second_pid"; then
  if ended "$first_pid"; then pid=$first_pid; left=$second_pid; else pid=$second_pid; left=$first_pid; fi
  finish 65
  sleep 1
  xdotool key b
  pid=$left
  finish 66
else
  fail "neither saver ended on the first key"
  kill -9 "$first_pid" "$second_pid"
fi

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all cases passed"
