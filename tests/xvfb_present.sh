#!/usr/bin/env bash
# How lumvane /s presents on Xvfb through the SDL display: each scale mode
# (SOFTGLIDE_SCALE) on a 1280x800 screen and in its window resized to
# 1000x700, once with MIT-SHM (the screen shared with the server, on a
# connection of its own) and once on a server without it (SDL's window
# surface). Each screenshot must show the picture where the mode puts it,
# lit in all four quarters, and black to the last bit around it; with MIT-SHM
# the saver holds one more connection to the server than without. Then the
# screen resized by RandR under it, and keys that only X names.
# Usage: xvfb_present.sh PATH/TO/lumvane
set -uo pipefail
saver=$1
source "$(dirname "$0")/lib/xvfb.sh"
source "$(dirname "$0")/lib/picture.sh"
work=$(mktemp -d)
# Under the sanitizers: leaks inside system libraries are not ours (as in
# xvfb_stress.sh).
export LSAN_OPTIONS=suppressions=$(cd "$(dirname "$0")" && pwd)/lsan-system.supp
failures=0
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; stop_xvfb; rm -rf "$work"' EXIT

for tool in Xvfb xdotool xrandr import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done

fail() {
  echo "FAIL: $case: $*"
  sed 's/^/  saver: /' "$work/stderr" 2>/dev/null | head -10
  failures=$((failures + 1))
}

# Where each mode puts the 640x480 picture in a WIDTH x HEIGHT window, worked
# out by hand: aspect, 800 * 4 / 3 = 1066 wide at (1280 - 1066) / 2 = 107, and
# in 1000x700 the 933x700 picture at 33; integer, 1x (neither window holds
# 2x) at (1280 - 640) / 2 = 320, (800 - 480) / 2 = 160, and at 180, 110;
# fill, all of it.
box() {
  case "$1 $2" in
    "aspect 1280x800") echo "107 0 1066 800" ;;
    "aspect 1000x700") echo "33 0 933 700" ;;
    "integer 1280x800") echo "320 160 640 480" ;;
    "integer 1000x700") echo "180 110 640 480" ;;
    "fill 1280x800") echo "0 0 1280 800" ;;
    "fill 1000x700") echo "0 0 1000 700" ;;
  esac
}

found_window() { window=$(xdotool search --name '^Lumvane$' 2>/dev/null | head -1); [[ -n $window ]]; }
wait_window() {
  for _ in $(seq 1 200); do found_window && return 0; sleep 0.1; done
  return 1
}

# The shot of a WIDTH x HEIGHT window shows the picture in the box X Y W H:
# stars or noise in each quarter of it, nothing anywhere else.
expect_picture() {
  local width=$1 height=$2 x=$3 y=$4 w=$5 h=$6
  check_picture "$@" || { fail "$picture_problem"; return; }
  # A picture over the whole window (fill) reaches its edges, where 4:3
  # would leave bars: 107 pixels wide at 1280x800, 33 at 1000x700.
  if ((x == 0 && w == width)); then
    local edge=$((width == 1280 ? 107 : 33))
    for strip in "${edge}x${h}+0+0" "${edge}x${h}+$((width - edge))+0"; do
      # Not black to the last bit, as a bar is (the fading noise there may
      # be dimmer than the quarters' threshold).
      black "$strip" && { fail "the edge $strip of a picture filling the window is black"; return; }
    done
  fi
  echo "ok: $case: the picture at ${w}x${h}+$x+$y (lit in its quarters: $picture_counts), black around it"
}

connections() { find "/proc/$1/fd" -lname 'socket:*' 2>/dev/null | wc -l; }

declare -A sockets
for shm in with without; do
  stop_xvfb
  if [[ $shm == with ]]; then
    start_xvfb -screen 0 1280x800x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
  else
    start_xvfb -screen 0 1280x800x24 -extension MIT-SHM || { echo "FAIL: Xvfb did not start"; exit 1; }
  fi
  for mode in aspect integer fill; do
    case="$mode, $shm MIT-SHM"
    echo "== $case"
    # Now and then SDL cannot start its X11 driver on a busy machine (the
    # saver then shows "Could not initialize window"), before anything is
    # presented: the saver is started once more then, and says so.
    for attempt in 1 2; do
      SOFTGLIDE_SCALE=$mode "$saver" /s 2>"$work/stderr" &
      pid=$!
      wait_window && break
      kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=
      echo "note: $case: no window after 20 s (attempt $attempt): $(tr '\n' ' ' <"$work/stderr")"
    done
    if [[ -z $pid ]]; then
      fail "no window"
      continue
    fi
    sleep 1.5  # the noise field and the first stars
    sockets[$shm]=$(connections "$pid")
    shot=$work/screen.png
    import -window root "$shot" || fail "no screenshot"
    expect_picture 1280 800 $(box $mode 1280x800)
    xdotool windowsize "$window" 1000 700
    sleep 1
    import -window "$window" "$shot" || fail "no screenshot of the window"
    [[ $(identify -format "%wx%h" "$shot") == 1000x700 ]] || fail "the window is $(identify -format "%wx%h" "$shot")"
    expect_picture 1000 700 $(box $mode 1000x700)
    kill -TERM "$pid"
    wait "$pid"
    code=$?
    pid=
    [[ $code == 0 ]] || fail "exit code $code after SIGTERM, expected 0"
    grep -qE "AddressSanitizer|LeakSanitizer|runtime error|win32:|softglide:" "$work/stderr" &&
      fail "it reported trouble on standard error"
  done
done

# RandR: the screen shrinks under the saver (Xvfb takes the second size
# only: the first is smaller than its output); the window follows it, the
# 4:3 picture centred in the new size: 1000 * 4 / 3 = 1333 wide from
# (1600 - 1333) / 2 = 133.
stop_xvfb
start_xvfb -screen 0 1920x1200x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
case="RandR to 1600x1000"
echo "== $case"
"$saver" /s 2>"$work/stderr" &
pid=$!
if wait_window; then
  xrandr --fb 1500x1100 >/dev/null 2>&1
  xrandr --fb 1600x1000 >/dev/null 2>&1 || fail "xrandr could not make the screen 1600x1000"
  sleep 1.5
  shot=$work/screen.png
  import -window root "$shot" || fail "no screenshot"
  [[ $(identify -format "%wx%h" "$shot") == 1600x1000 ]] || fail "the screen is $(identify -format "%wx%h" "$shot")"
  expect_picture 1600 1000 133 0 1333 1000
else
  fail "no window"
fi
kill -TERM "$pid"
wait "$pid"
pid=

# Drawn at the screen's own resolution (SOFTGLIDE_RESOLUTION=native), the
# 4:3 picture on a 1920x1080 screen is a 1440x1080 grid at (240, 0), shown
# 1:1: the screenshot of that rectangle must be, pixel for pixel, the frame
# the capture tool writes for the same swap on a 1920x1080 headless screen.
# The saver is stopped for the shot; which swap it shows is found by its
# frame log's hash (the log itself is written in blocks, so its last line
# lags), then that frame is captured and compared whole.
capture=$(dirname "$saver")/../tools/lumvane-capture
if [[ -x $capture ]]; then
  stop_xvfb
  start_xvfb -screen 0 1920x1080x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
  case="native resolution on 1920x1080"
  echo "== $case"
  SOFTGLIDE_RESOLUTION=native "$saver" /s 2>"$work/stderr" &
  pid=$!
  if wait_window; then
    sleep 2
    kill -STOP "$pid"
    sleep 0.5
    shot=$work/screen.png
    import -window root "$shot" || fail "no screenshot"
    kill -CONT "$pid"
    kill -TERM "$pid"
    wait "$pid"
    pid=
    hash=$(convert "$shot" -crop 1440x1080+240+0 +repage ppm:- | python3 "$(dirname "$0")/lib/picture_hash.py")
    FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_RESOLUTION=native SOFTGLIDE_FRAMES=$work/frames.log "$capture" \
      --out "$work/frames" --screen 1920x1080 --frames 600 --end-after 600 >/dev/null 2>&1
    frame=$(grep -m1 " $hash\$" "$work/frames.log" | cut -d' ' -f1)
    if [[ -z $frame ]]; then
      fail "the screen shows no frame of the capture's first 600 (its hash: $hash)"
    else
      FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_RESOLUTION=native "$capture" --out "$work/frames" --screen 1920x1080 \
        --frames "$frame" --end-after "$frame" >/dev/null 2>&1
      convert "$shot" -crop 1440x1080+240+0 +repage "$work/picture.png"
      differing=$(compare -metric AE "$work/picture.png" "$work/frames/frame-$(printf %06d "$frame").png" null: 2>&1)
      if [[ $differing == 0 ]]; then
        echo "ok: $case: the screen shows the capture's frame $frame, pixel for pixel"
      else
        fail "the screen and the capture's frame $frame differ in $differing pixels"
      fi
    fi
    black "240x1080+0+0" && black "240x1080+1680+0" || fail "the bars beside the picture are not black"
  else
    fail "no window"
    kill -TERM "$pid"; wait "$pid"; pid=
  fi
fi

# Keys X names but SDL does not end it with their Windows codes: VK_SELECT
# 41, VK_EXECUTE 43. Xvfb's keyboard has neither: xdotool lends each a spare
# key code for the press and takes it back right after, at times before the
# saver looked the key up (then it is a key without a code, 255); so each
# key has five tries to show its code (one in five is lost on an idle
# machine, more under load).
for key in "Select 41" "Execute 43"; do
  set -- $key
  case="the $1 key"
  echo "== $case"
  codes=""
  code=
  for attempt in 1 2 3 4 5; do
    "$saver" /s 2>"$work/stderr" &
    pid=$!
    wait_window || { fail "no window"; kill -KILL "$pid"; wait "$pid" 2>/dev/null; pid=; break; }
    xdotool key "$1"
    wait "$pid"
    code=$?
    pid=
    codes+="$code "
    [[ $code == "$2" ]] && break
  done
  [[ -z $code ]] && continue
  [[ $code == "$2" ]] && echo "ok: $case: exit code $code (tries: $codes)" || fail "exit codes $codes, expected $2"
done

case="connections"
if [[ -n ${sockets[with]:-} && -n ${sockets[without]:-} ]]; then
  if ((sockets[with] == sockets[without] + 1)); then
    echo "ok: with MIT-SHM the saver holds ${sockets[with]} sockets, without it ${sockets[without]}"
  else
    fail "with MIT-SHM ${sockets[with]} sockets, without it ${sockets[without]}: expected one more with it"
  fi
fi

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all cases passed"
