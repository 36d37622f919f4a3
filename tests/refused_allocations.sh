#!/usr/bin/env bash
# Memory that cannot be had is a failure the program reports, never an
# abort: one allocation refused (tests/lib/refuse_allocation.c, loaded with
# LD_PRELOAD) at each of the allocations of a three-frame capture, and
# lumvane /s on Xvfb with too little address space. Each run must end with an exit code
# of its own (no signal: no abort, no crash, no "terminate called").
# Usage: refused_allocations.sh LUMVANE CAPTURE REFUSE_ALLOCATION_SO
set -uo pipefail
saver=$1
capture=$2
refuse=$3
source "$(dirname "$0")/lib/xvfb.sh"
work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# How often each exit code came, from a list of them.
summary() {
  tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -n | uniq -c | awk '{ printf "%s%s x%s", sep, $2, $1; sep = ", " }'
}

# judge WHAT CODE OUTPUT: an exit code of the program's own (255 is the
# assertion's), not a signal's (129 to 192: an abort, a crash), and no
# "terminate called".
judge() {
  if (( $2 > 128 && $2 <= 192 )) || grep -q "terminate called" <<<"$3"; then
    fail "$1: exit code $2: $(tr '\n' '|' <<<"$3" | cut -c1-200)"
  fi
}

count=$(REFUSE_ALLOCATION=0 LD_PRELOAD=$refuse "$capture" --out "$work/frames" --frames 1-3 --end-after 3 2>&1 >/dev/null |
        sed -n 's/^allocations: //p' | sort -n | tail -1)
(( count > 100 )) || { echo "FAIL: the capture made $count allocations; is $refuse loaded?"; exit 1; }
kinds=""
for ((n = 1; n <= count; ++n)); do
  output=$(REFUSE_ALLOCATION=$n LD_PRELOAD=$refuse timeout 20 "$capture" --out "$work/frames" --frames 1-3 \
           --end-after 3 2>&1)
  code=$?
  judge "allocation $n refused" "$code" "$output"
  kinds+="$code "
done
echo "capture: each of $count allocations refused in turn; exit codes: $(summary "$kinds")"

# The saver on a screen, with its address space held short (ulimit -v) at
# sizes where it meets the limit in different places: loading its
# libraries (127, the loader's), SDL's start, the X connection, the board's
# buffers (the assertion box, 255), the picture's buffer (1, said). Where
# those places lie depends on the machine's libraries, so the sweep starts
# just below the first size the loader gets through, in steps of 50 KB over
# the first megabyte (the C++ runtime's and SDL's start lie there), then of
# 250 KB until the saver runs. Each run is ended by SIGTERM after a second
# and a half at most: 0 (a close request), 143 (killed before its window)
# and 255 (under the box) are its own too.
start_xvfb -screen 0 640x480x24 || { echo "FAIL: no Xvfb"; exit 1; }
# run_short KILOBYTES: the saver's exit code with that much address space.
run_short() {
  (ulimit -v "$1"; exec "$saver" /s) >"$work/out" 2>&1 &
  local pid=$!
  for _ in $(seq 1 15); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -TERM "$pid" 2>/dev/null
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "at $1 KB: the saver did not end on SIGTERM"
    kill -KILL "$pid"
  fi
  wait "$pid"
}
loaded=16000
until run_short "$loaded"; (( $? != 127 )); do
  loaded=$((loaded + 500))
  (( loaded <= 64000 )) || { echo "FAIL: the saver cannot load its libraries in 64,000 KB"; exit 1; }
done
kinds=""
for ((kilobytes = loaded - 500; kilobytes <= loaded + 8000; kilobytes += kilobytes < loaded + 500 ? 50 : 250)); do
  run_short "$kilobytes"
  code=$?
  (( code == 143 )) || judge "at $kilobytes KB" "$code" "$(cat "$work/out")"
  kinds+="$code "
  # Ran until told to stop, on a screen: every size above it runs too.
  (( code == 0 )) && ! grep -q . "$work/out" && break
done
echo "lumvane /s at $((loaded - 500)) to $kilobytes KB of address space; exit codes: $(summary "$kinds")"
if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all runs ended with exit codes of their own"
