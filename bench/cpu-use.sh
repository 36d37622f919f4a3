#!/usr/bin/env bash
# CPU use of the running saver and of its X server at 60 Hz, beside a stock
# XScreenSaver hack measured the same way in the same run as a peer:
# lumvane /s and scooter -root (Debian's xscreensaver-data), each on an Xvfb
# of its own at 640x480, 1920x1080 and 3840x2160, each size RUNS times (3 by
# default) over SECONDS of flight (10 by default), after 6 s of start-up and
# the opening (255 frames of noise). The saver's SOFTGLIDE_SCALE is the
# environment's (unset: the default, 4:3).
# Prints every run, then per screen the median and the spread (min-max) of
# the four, in percent of one core (CPU seconds from /proc over wall
# seconds). Without scooter its columns say so.
# Usage: bench/cpu-use.sh [LUMVANE] [SECONDS] [RUNS]   (SCOOTER=PATH for another peer)
set -euo pipefail
saver=${1:-build/host/app/lumvane}
seconds=${2:-10}
runs=${3:-3}
peer=${SCOOTER:-/usr/libexec/xscreensaver/scooter}
ticks=$(getconf CLK_TCK)
sizes=(640x480 1920x1080 3840x2160)
source "$(dirname "$0")/../tests/lib/xvfb.sh"

cpu_ticks() {
  awk '{print $14 + $15}' "/proc/$1/stat"
}

# One run of a program on its own server: prints "PROGRAM_PERCENT SERVER_PERCENT".
measure() {
  local size=$1 xvfb pid
  shift
  start_xvfb -screen 0 "${size}x24" || exit 1
  xvfb=$XVFB_PID
  "$@" >/dev/null 2>&1 &
  pid=$!
  sleep 6  # past start-up and the opening
  local program0 server0 time0 program1 server1 time1
  program0=$(cpu_ticks $pid)
  server0=$(cpu_ticks $xvfb)
  time0=$(date +%s.%N)
  sleep "$seconds"
  program1=$(cpu_ticks $pid)
  server1=$(cpu_ticks $xvfb)
  time1=$(date +%s.%N)
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
  stop_xvfb
  awk -v a0="$program0" -v a1="$program1" -v b0="$server0" -v b1="$server1" -v w0="$time0" -v w1="$time1" \
    -v hz="$ticks" 'BEGIN { printf "%.2f %.2f\n", 100 * (a1 - a0) / hz / (w1 - w0), 100 * (b1 - b0) / hz / (w1 - w0) }'
}

# Median, min and max of the numbers on standard input.
summary() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { printf "n/a"; exit }
                                      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                      printf "%.2f (%.2f-%.2f)", m, v[1], v[NR] }'
}

[[ -x $peer ]] || echo "note: no $peer (xscreensaver-data): the peer's columns stay empty"
declare -A saverRuns serverRuns peerRuns peerServerRuns
for ((run = 1; run <= runs; ++run)); do
  for size in "${sizes[@]}"; do
    read -r saverPercent serverPercent < <(measure "$size" "$saver" /s)
    line="run $run, $size: saver $saverPercent%, its X server $serverPercent%"
    saverRuns[$size]+="$saverPercent"$'\n'
    serverRuns[$size]+="$serverPercent"$'\n'
    if [[ -x $peer ]]; then
      read -r peerPercent peerServerPercent < <(measure "$size" "$peer" -root)
      line+="; scooter $peerPercent%, its X server $peerServerPercent%"
      peerRuns[$size]+="$peerPercent"$'\n'
      peerServerRuns[$size]+="$peerServerPercent"$'\n'
    fi
    echo "$line of one core"
  done
done
echo "| screen | lumvane /s | its X server | scooter -root | its X server |"
echo "|---|---|---|---|---|"
for size in "${sizes[@]}"; do
  echo "| $size | $(printf '%s' "${saverRuns[$size]}" | summary) | $(printf '%s' "${serverRuns[$size]}" | summary)" \
       "| $(printf '%s' "${peerRuns[$size]:-}" | summary) | $(printf '%s' "${peerServerRuns[$size]:-}" | summary) |"
done
echo "(% of one core, medians of $runs runs of ${seconds} s under Xvfb, spread min-max in brackets;" \
     "SOFTGLIDE_SCALE=${SOFTGLIDE_SCALE:-aspect}; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
