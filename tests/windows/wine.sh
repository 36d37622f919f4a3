#!/usr/bin/env bash
# A Windows saver end to end under Wine on Xvfb: the 64-bit pair under
# 64-bit Wine, the 32-bit pair under 32-bit Wine (natively, no emulator).
# One prefix and one X server per pair, made by "setup" and removed by
# "cleanup", serve every scenario.
# Usage: wine.sh x64|x86 WORK DIST FINDWINDOW setup|cleanup|SCENARIO [ARGS]
set -uo pipefail
arch=$1
work=$2
dist=$3
findwindow=$4
scenario=$5
shift 5
source "$(dirname "$0")/wine-lib.sh"
wine_prefix "$arch" "$work"
fail() { echo "FAIL: $*"; exit 1; }

# Starts the saver of the pair with the given arguments.
start() { start_in "$dist" ./lumvane.scr "$@"; }
# Waits up to $2 seconds for a top-level window titled $1; prints its id.
# When none comes, says on standard error what there was instead: the
# saver's state, its output and the display's windows.
wait_window() {
  for _ in $(seq 1 $(( $2 * 5 ))); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  {
    if [[ -f $work/exit ]]; then echo "no window \"$1\" after $2 s: the saver ended with $(cat "$work/exit")"
    else echo "no window \"$1\" after $2 s: the saver is still running"; fi
    echo "its output:"; sed 's/^/  /' "$work/saver.log" 2>/dev/null | tail -20
    echo "windows on the display:"
    for w in $(xdotool search --name . 2>/dev/null | head -20); do
      echo "  $w $(xdotool getwindowname "$w" 2>/dev/null)"
    done
  } >&2
  return 1
}
# How long a window may take to appear: on a machine that has never run
# Wine, the first window of a prefix waits for font caches to be built.
window_wait=60
focus() { xdotool windowfocus --sync "$1" >/dev/null 2>&1; }

case $scenario in
  setup)
    # A server and wineserver left by an earlier setup of WORK (by hand,
    # without cleanup) are ended first, not left running.
    [[ -f $work/xvfb.pid ]] && kill "$(cat "$work/xvfb.pid")" 2>/dev/null
    [[ -d $work/prefix ]] && timeout 20 "$WINESERVER" -k >/dev/null 2>&1
    rm -rf "$work"
    mkdir -p "$work"
    # 16:10, so that the 4:3 picture has bars beside it.
    XVFB_LOG=$work/xvfb.log start_xvfb -screen 0 1280x800x24 || fail "Xvfb did not start"
    echo "$XVFB_PID" >"$work/xvfb.pid"
    number=${DISPLAY#:}
    echo "$number" >"$work/display"
    xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not answer"
    timeout 120 "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot failed"
    echo "ok: $arch prefix and X server :$number ready"
    ;;
  cleanup)
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1
    [[ -f $work/xvfb.pid ]] && kill "$(cat "$work/xvfb.pid")" 2>/dev/null
    echo "ok"
    ;;
  window-and-picture)
    start /s
    window=$(wait_window Lumvane $window_wait) || { stop; fail "no Lumvane window"; }
    sleep 1
    found=$(cd "$work" && timeout 30 "$wine" "$findwindow" LumvaneClass Lumvane | tr -d '\r')
    [[ $found == "0 0 1280 800 screen 1280 800" ]] || fail "window of class LumvaneClass: $found"
    import -window root "$work/screen.png" || fail "no screenshot"
    stop
    # The picture is 1066x800 from x = 107; the bars beside it stay black.
    bars=$(convert "$work/screen.png" \( -clone 0 -crop 100x800+0+0 \) \( -clone 0 -crop 100x800+1180+0 \) -delete 0 -append -format "%[fx:maxima]" info:)
    lit=$(convert "$work/screen.png" -crop 1060x800+110+0 -threshold 20% -format "%[fx:mean*w*h]" info:)
    [[ $bars == 0 ]] || fail "the bars are not black ($bars)"
    (( ${lit%.*} > 200 )) || fail "the picture shows $lit lit pixels"
    echo "ok: LumvaneClass window $found; $lit lit pixels inside the 4:3 picture, black bars"
    ;;
  scale)
    # The picture as SOFTGLIDE_SCALE places it on the 1280x800 screen, worked
    # out by hand: integer, 1x (2x would need 1280x960) at ((1280 - 640) / 2,
    # (800 - 480) / 2) = (320, 160) with black around it; fill, the whole
    # screen, lit to its edges. Usage: scale integer|fill
    mode=$1
    export SOFTGLIDE_SCALE=$mode
    start /s
    wait_window Lumvane $window_wait >/dev/null || { stop; fail "no Lumvane window"; }
    sleep 1
    import -window root "$work/screen-$mode.png" || fail "no screenshot"
    stop
    shot=$work/screen-$mode.png
    maxima() { convert "$shot" -crop "$1" +repage -format "%[fx:maxima]" info:; }
    lit() { convert "$shot" -crop "$1" +repage -threshold 20% -format "%[fx:round(mean*w*h)]" info:; }
    case $mode in
      integer)
        for bar in 320x800+0+0 320x800+960+0 640x160+320+0 640x160+320+640; do
          [[ $(maxima $bar) == 0 ]] || fail "integer: $bar beside the 640x480 picture is not black"
        done
        inside="640x480+320+160"
        ;;
      fill)
        (( $(lit 100x800+0+0) > 5 && $(lit 100x800+1180+0) > 5 )) || fail "fill: the edges of the screen are dark"
        inside="1280x800+0+0"
        ;;
      *) fail "no scale mode $mode here" ;;
    esac
    count=$(lit "$inside")
    (( count > 200 )) || fail "$mode: the picture $inside shows $count lit pixels"
    around=""
    [[ $mode == integer ]] && around=", black around it"
    echo "ok: SOFTGLIDE_SCALE=$mode: the picture fills $inside ($count lit pixels)$around"
    ;;
  key)
    start /s
    window=$(wait_window Lumvane $window_wait) || { stop; fail "no Lumvane window"; }
    sleep 1
    focus "$window"
    xdotool key a
    code=$(wait_exit 20) || { stop; fail "the saver did not end after a key"; }
    [[ $code == 65 ]] || fail "exit code $code after the A key, expected 65"
    echo "ok: exit code 65 after the A key"
    ;;
  mouse)
    xdotool mousemove 20 20
    start /s
    window=$(wait_window Lumvane $window_wait) || { stop; fail "no Lumvane window"; }
    sleep 2
    focus "$window"
    # Wine, like Windows, may also report a move when the window appears
    # under the pointer, so the saver can count one more move than the user
    # makes: three moves must leave it running, and it must end by the sixth.
    moves=0
    for x in 240 280 320; do xdotool mousemove $x 300; moves=$((moves + 1)); sleep 0.5; done
    running || fail "the saver ended after three mouse moves"
    for x in 360 400 440; do
      running || break
      xdotool mousemove $x 320; moves=$((moves + 1)); sleep 1
    done
    code=$(wait_exit 20) || { stop; fail "the saver did not end after $moves mouse moves"; }
    [[ $code == 0 ]] || fail "exit code $code after the mouse, expected 0"
    echo "ok: running after three moves, ended after move $moves with exit code 0"
    ;;
  notice)
    start /c
    box=$(wait_window Notice $window_wait) || { stop; fail "no Notice box"; }
    xdotool search --name "^Lumvane\$" >/dev/null 2>&1 && { stop; fail "a Lumvane window beside the notice"; }
    focus "$box"
    xdotool key Return
    code=$(wait_exit 20) || { stop; fail "the notice did not end the program"; }
    [[ $code == 0 ]] || fail "exit code $code after the notice"
    echo "ok: Notice box, no Lumvane window, exit code 0"
    ;;
  no-board)
    export FX_GLIDE_NO_BOARD=1
    start /s
    box=$(wait_window "Assertion Failed!" $window_wait) || { stop; fail "no Assertion Failed! box"; }
    focus "$box"
    xdotool key Return
    code=$(wait_exit 20) || { stop; fail "the saver did not end after the assertion"; }
    [[ $code == 255 ]] || fail "exit code $code after the assertion, expected 255"
    grep -q "ABNORMAL TERMINATION" "$work/saver.log" || fail "no ABNORMAL TERMINATION on standard error"
    echo "ok: Assertion Failed! box, exit code 255"
    ;;
  frames)
    # Pacing off, until at least 700 swaps are logged; then the A key.
    # Usage: frames OUT [no-avx2]
    out=$1
    rm -f "$out"
    export FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_FRAMES=$out
    [[ ${2:-} == no-avx2 ]] && export SOFTGLIDE_NO_AVX2=1
    start /s
    window=$(wait_window Lumvane $window_wait) || { stop; fail "no Lumvane window"; }
    for _ in $(seq 1 600); do
      [[ -f $out && $(wc -l <"$out") -ge 700 ]] && break
      running || break
      sleep 0.2
    done
    focus "$window"
    xdotool key a
    code=$(wait_exit 20) || { stop; fail "the saver did not end after a key"; }
    [[ $code == 65 ]] || fail "exit code $code after the A key, expected 65"
    lines=$(wc -l <"$out" 2>/dev/null || echo 0)
    (( lines >= 700 )) || fail "$lines swaps logged"
    echo "ok: $lines swaps logged in $out${2:+ ($2)}"
    ;;
  centre)
    # Each window pixel shows the picture pixel under its centre. The saver
    # runs on a screen of the given size (an X server of its own, and so a
    # wineserver started on it), pacing off, and is stopped (SIGSTOP) once
    # its frame log holds 300 swaps (it is flushed every 60; by then the
    # presents are the flight's changed runs). The screen then shows a frame
    # from about 299 on, which no present changes any more; centre_rule.py
    # compares it with the capture tool's frames 298 to 350, scaled by the
    # rule, and one must match in every window pixel.
    # Usage: centre aspect|fill WIDTHxHEIGHT CAPTURE
    mode=$1 size=$2 capture=$3
    [[ -x $capture ]] || fail "no capture tool $capture"
    shot=$work/centre-$mode-$size.png
    frames=$work/centre-frames
    rm -rf "$frames" "$shot"
    FX_GLIDE_SWAPINTERVAL=0 "$capture" --out "$frames" --frames 298-350 --end-after 351 >/dev/null ||
      fail "the capture tool failed"
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1
    XVFB_LOG=$work/xvfb-$size.log start_xvfb -screen 0 "${size}x24" || fail "no X server of $size"
    log=$work/centre-frames.log
    rm -f "$log"
    export FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_FRAMES=$log SOFTGLIDE_SCALE=$mode
    start /s
    [[ -f $work/saver.pid ]] || { stop_xvfb; fail "the saver did not start (from $dist)"; }
    pid= lines=()
    # As long as a first window may take (window_wait), then some.
    deadline=$((SECONDS + window_wait + 30))
    while (( SECONDS < deadline )); do
      [[ -z $pid ]] && pid=$(pgrep -P "$(cat "$work/saver.pid")" | head -1)
      if [[ -n $pid && -f $log ]]; then
        mapfile -t lines <"$log"
        (( ${#lines[@]} >= 300 )) && break
      fi
      running || break
      sleep 0.01
    done
    [[ -n $pid ]] && running && kill -STOP "$pid"
    swaps=${#lines[@]}
    (( swaps >= 300 )) && import -window root "$shot"
    [[ -n $pid ]] && kill -CONT "$pid"
    stop
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1
    stop_xvfb
    (( swaps >= 300 )) ||
      fail "$swaps swaps logged on the $size screen; the saver's output: $(tail -3 "$work/saver.log" | tr '\n' ' ')"
    [[ -f $shot ]] || fail "no screenshot"
    result=$(python3 "$(dirname "$0")/centre_rule.py" "$shot" "$frames"/*.png) ||
      fail "$mode at $size: no frame shown by the centre rule; the closest, $(basename "${result%% *}"), differs in $(cut -d' ' -f2 <<<"$result") of $(cut -d' ' -f3 <<<"$result") window pixels"
    rm -rf "$frames"
    echo "ok: $mode at $size: every window pixel of $(cut -d' ' -f3 <<<"$result") shows the picture pixel under its centre ($(basename "${result%% *}"))"
    ;;
  cpu)
    # Not a check: the saver's CPU use at 60 Hz, paced as shipped, over
    # SECONDS (20 by default) after two seconds of start-up, in percent of
    # one core, and its X server's and wineserver's. Usage: cpu [SECONDS]
    seconds=${1:-20}
    ticks=$(getconf CLK_TCK)
    start /s
    wait_window Lumvane $window_wait >/dev/null || { stop; fail "no Lumvane window"; }
    sleep 2
    pid=$(pgrep -P "$(cat "$work/saver.pid")" | head -1)
    [[ -n $pid ]] || { stop; fail "no saver process"; }
    # Beside it, what it costs the X server and this prefix's wineserver.
    server=$(cat "$work/xvfb.pid")
    wineserver=
    for candidate in $(pgrep wineserver); do
      tr '\0' '\n' 2>/dev/null <"/proc/$candidate/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && wineserver=$candidate
    done
    [[ -n $wineserver ]] || { stop; fail "no wineserver of $WINEPREFIX"; }
    ticks_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
    t0=$(ticks_of "$pid"); x0=$(ticks_of "$server"); s0=$(ticks_of "$wineserver"); w0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(ticks_of "$pid"); x1=$(ticks_of "$server"); s1=$(ticks_of "$wineserver"); w1=$(date +%s.%N)
    running || fail "the saver ended during the measurement"
    stop
    awk -v a="$arch" -v t0="$t0" -v t1="$t1" -v x0="$x0" -v x1="$x1" -v s0="$s0" -v s1="$s1" -v w0="$w0" -v w1="$w1" \
      -v hz="$ticks" 'BEGIN {
      share = 100 / hz / (w1 - w0)
      printf "%s saver CPU use at 60 Hz under Wine, 1280x800 screen: %.1f%% of one core (%.2f CPU s over %.1f s); its X server %.1f%%, wineserver %.1f%%\n",
        a, (t1 - t0) * share, (t1 - t0) / hz, w1 - w0, (x1 - x0) * share, (s1 - s0) * share }'
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
