#!/usr/bin/env bash
# The board's frames on grids other than the card's against the reference
# board: the capture tool runs the saver through the opening, into the flight
# and the closing wipe with SOFTGLIDE_RESOLUTION set, writing its call trace
# and frame log; the reference replays the trace on the same grid, and both
# logs must agree swap for swap. Usage: grid_replay.sh CAPTURE REPLAY [FRAMES]
set -uo pipefail
capture=$1
replay=$2
frames=${3:-280}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# RESOLUTION SCALE SCREEN GRID: the grid the board must draw on.
for case in "2x aspect 640x480 1280x960" "native aspect 1920x1080 1440x1080" "native fill 1920x1080 1920x1080"; do
  read -r resolution scale screen grid <<<"$case"
  echo "== SOFTGLIDE_RESOLUTION=$resolution SOFTGLIDE_SCALE=$scale on $screen: a $grid grid"
  FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_RESOLUTION=$resolution SOFTGLIDE_SCALE=$scale SOFTGLIDE_TRACE=$work/trace \
    SOFTGLIDE_FRAMES=$work/board.log "$capture" --out "$work/png" --frames "$frames" --end-after "$frames" \
    --screen "$screen" >"$work/capture.txt" 2>&1
  if ! tail -1 "$work/capture.txt" | grep -q "exit code: 65"; then
    echo "FAIL: the capture run: $(tail -2 "$work/capture.txt")"
    failed=1
    continue
  fi
  size=$(file "$work/png/frame-$(printf %06d "$frames").png" | grep -o '[0-9]* x [0-9]*' | tr -d ' ')
  [[ $size == "$grid" ]] || { echo "FAIL: the frames are $size, not $grid"; failed=1; }
  "$replay" "$work/trace" "${grid%x*}" "${grid#*x}" >"$work/reference.log"
  swaps=$(wc -l <"$work/board.log")
  if ((swaps < frames + 20)); then
    echo "FAIL: only $swaps swaps logged"
    failed=1
  elif ! cmp -s "$work/board.log" "$work/reference.log"; then
    echo "FAIL: the logs differ from swap $(cmp "$work/board.log" "$work/reference.log" | grep -o 'line [0-9]*')"
    failed=1
  else
    echo "ok: $swaps swaps alike, the opening, the flight and the wipe"
  fi
  rm -f "$work/trace" "$work/board.log" "$work/reference.log"
done
exit $failed
