#!/usr/bin/env bash
# lumvane /s on a Wayland desktop: a headless sway (tests/lib/sway.sh) at
# 1280x800, first without XWayland: the picture from grim screenshots in each
# scale mode, the A key typed by wtype ending it with 65 within 2 s, four
# pointer moves through wayvnc (rfb_pointer.py) leaving it running and the
# fifth ending it with 0, SIGTERM ending it with 0, the compositor killed
# under it ending it with 0 at once. Then with XWayland and DISPLAY set: the
# saver takes sway's Wayland window, not an X one, and a Wayland window of
# the test's own (key_window), open before the saver starts or opening
# after it, gets no key while the key ends the saver; and the saver asked
# for X11 (SDL_VIDEODRIVER=x11) runs through XWayland, ended by a key.
# Usage: sway.sh PATH/TO/lumvane PATH/TO/key_window
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
saver=$1
key_window=$2
source "$here/../lib/sway.sh"
source "$here/../lib/picture.sh"
work=$(mktemp -d)
chmod 777 "$work"  # the test user's screenshots and logs
# Copies the test user can run wherever the build is (a checkout under
# /root, say).
cp "$saver" "$work/lumvane" && cp "$key_window" "$work/key_window" || { echo "FAIL: cannot copy the programs"; exit 1; }
chmod 755 "$work/lumvane" "$work/key_window"
saver=$work/lumvane
key_window=$work/key_window
failures=0
saver_pid=
window_pid=
vnc_port=$((5900 + RANDOM % 1000))

for tool in sway grim wtype wayvnc Xwayland python3 convert setpriv; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps hack)"; exit 1; }
done

cleanup() {
  [[ -n $saver_pid ]] && kill -KILL "$saver_pid" 2>/dev/null
  [[ -n $window_pid ]] && kill -KILL "$window_pid" 2>/dev/null
  stop_sway
  remove_sway_user
  rm -rf "$work"
}
trap cleanup EXIT
make_sway_user lumvane-sway-test || { echo "FAIL: could not make the test user"; exit 1; }

fail() {
  echo "FAIL: $case: $*"
  sed 's/^/  saver: /' "$work/saver.err" 2>/dev/null | head -10
  failures=$((failures + 1))
}
# Milliseconds from bash's own clock.
now_ms() { local now=${EPOCHREALTIME/[.,]/}; echo $((now / 1000)); }

# --- the picture ------------------------------------------------------------

shoot() { shot=$work/$1.png; "${SWAY_USER[@]}" grim "$shot" || fail "no screenshot"; }
# Where each mode puts the 640x480 picture on 1280x800, worked out by hand:
# aspect 800 * 4 / 3 = 1066 wide from (1280 - 1066) / 2 = 107; integer 1x
# (2x does not fit) from 320, 160; fill all of it.
box() {
  case $1 in
    aspect) echo "107 0 1066 800" ;;
    integer) echo "320 160 640 480" ;;
    fill) echo "0 0 1280 800" ;;
  esac
}
# The picture in the box X Y W H of the 1280x800 screen, black around it.
expect_picture() {
  check_picture 1280 800 "$@" || { fail "$picture_problem"; return; }
  echo "ok: $case: the picture at ${3}x${4}+$1+$2 (lit in its quarters: $picture_counts), black around it"
}

# --- the saver --------------------------------------------------------------

tree() { "${SWAY_USER[@]}" swaymsg -t get_tree 2>/dev/null; }
# Waits up to 20 s for the saver's window in sway's tree, shown full screen.
# The saver's own X window is unmanaged (override-redirect): XWayland shows
# it, sway's tree does not.
shown() {
  if [[ " $* " == *" SDL_VIDEODRIVER=x11 "* ]]; then
    [[ -n $("${SWAY_USER[@]}" xdotool search --name '^Lumvane$' 2>/dev/null) ]]
  else
    tree | grep -q '"name": "Lumvane"'
  fi
}
wait_window() {
  for _ in $(seq 1 200); do
    shown "$@" && return 0
    kill -0 "$saver_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
start_saver() {
  "${SWAY_USER[@]}" "$@" "$saver" /s 2>"$work/saver.err" &
  saver_pid=$!
  wait_window "$@" || { fail "no window"; return 1; }
  sleep 1.5  # the noise field and the first stars
}
# Waits up to $1 ms for the saver to end: sets code (the exit code, or
# "running") and took (ms).
wait_saver() {
  local start
  start=$(now_ms)
  while kill -0 "$saver_pid" 2>/dev/null && (($(now_ms) - start < $1)); do sleep 0.02; done
  took=$(($(now_ms) - start))
  if kill -0 "$saver_pid" 2>/dev/null; then
    code=running
    kill -KILL "$saver_pid"
  else
    wait "$saver_pid"
    code=$?
  fi
  wait "$saver_pid" 2>/dev/null
  saver_pid=
}
expect_end() {
  local expected=$1 limit=$2 what=$3
  wait_saver "$limit"
  [[ $code == "$expected" ]] || { fail "$what: exit code $code after $took ms, expected $expected within $limit ms"; return; }
  grep -q "win32:" "$work/saver.err" && fail "it reported trouble on standard error"
  echo "ok: $case: $what ended it with $code in $took ms"
}
type_a() {
  "${SWAY_USER[@]}" wtype -s 1500 a || fail "wtype failed"
}

# --- without XWayland -------------------------------------------------------

start_sway 1280x800 || { echo "FAIL: sway did not start"; exit 1; }
# wayvnc's virtual keyboard has no keymap until a VNC client types: should
# sway fall back to it when wtype's keyboard goes, SDL 2.26 would crash on
# the modifiers that come without a keymap. So wayvnc runs only for the
# pointer's case, before any key is typed.
"${SWAY_USER[@]}" wayvnc 127.0.0.1 "$vnc_port" >"$work/wayvnc.log" 2>&1 &
vnc_pid=$!

case="integer, five pointer moves"
# A desktop's pointer is somewhere before the saver starts; the window
# appearing under it is no move.
sleep 0.5
python3 "$here/rfb_pointer.py" "$vnc_port" 640,400 >/dev/null || fail "no VNC connection"
if start_saver SOFTGLIDE_SCALE=integer; then
  shoot integer
  expect_picture $(box integer)
  python3 "$here/rfb_pointer.py" "$vnc_port" 100,100 200,150 300,200 400,250 >/dev/null || fail "no VNC connection"
  sleep 0.5
  kill -0 "$saver_pid" 2>/dev/null || fail "four moves ended it"
  python3 "$here/rfb_pointer.py" "$vnc_port" 500,300 >/dev/null || fail "no VNC connection"
  expect_end 0 2000 "the fifth pointer move"
fi
kill "$vnc_pid"
wait "$vnc_pid" 2>/dev/null

case="aspect, the A key"
if start_saver; then
  shoot aspect
  expect_picture $(box aspect)
  type_a
  expect_end 65 2000 "the A key (typed after 1.5 s)"
fi

case="fill, SIGTERM"
if start_saver SOFTGLIDE_SCALE=fill; then
  shoot fill
  expect_picture $(box fill)
  kill -TERM "$saver_pid"
  expect_end 0 2000 "SIGTERM"
fi

case="the compositor killed"
if start_saver; then
  sway_as_root kill -KILL "$SWAY_PID"
  expect_end 0 3000 "the compositor's end"
fi
stop_sway

# --- with XWayland ----------------------------------------------------------

start_sway 1280x800 xwayland || { echo "FAIL: sway with XWayland did not start"; exit 1; }

open_key_window() {
  "${SWAY_USER[@]}" "$key_window" >"$work/keys.log" 2>&1 &
  window_pid=$!
  for _ in $(seq 1 100); do grep -q ready "$work/keys.log" && return 0; sleep 0.1; done
  fail "the key window did not open: $(cat "$work/keys.log")"
  return 1
}
close_key_window() {
  kill -TERM "$window_pid" 2>/dev/null
  wait "$window_pid" 2>/dev/null
  window_pid=
  grep -q '^key' "$work/keys.log" && fail "the Wayland window got a key: $(grep '^key' "$work/keys.log" | tr '\n' ' ')"
}

case="XWayland present, a Wayland window open before"
if open_key_window && start_saver; then
  tree | grep -B2 -A30 '"name": "Lumvane"' | grep -q '"shell": "xdg_shell"' ||
    fail "the saver's window is not a Wayland window"
  shoot xwayland-before
  expect_picture $(box aspect)
  type_a
  expect_end 65 2000 "the A key"
fi
close_key_window

case="XWayland present, a Wayland window opening after"
if start_saver && open_key_window; then
  sleep 0.5
  type_a
  expect_end 65 2000 "the A key"
fi
close_key_window

case="through XWayland (SDL_VIDEODRIVER=x11)"
if start_saver SDL_VIDEODRIVER=x11; then
  shoot xwayland-x11
  expect_picture $(box aspect)
  type_a
  expect_end 65 2000 "the A key"
fi

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all cases passed"
