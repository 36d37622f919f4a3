#!/usr/bin/env bash
# CPU use of the running saver and of its X server at 60 Hz: lumvane /s under
# Xvfb at 640x480, 1920x1080 and 3840x2160, each measured RUNS times (3 by
# default) over SECONDS of flight (10 by default), after 6 s of start-up and
# the opening (255 frames of noise).
# Prints every run, then per screen the median and the spread (min-max) of
# both, in percent of one core (CPU seconds from /proc over wall seconds).
# Usage: bench/cpu-use.sh [LUMVANE] [SECONDS] [RUNS]
set -euo pipefail
saver=${1:-build/host/app/lumvane}
seconds=${2:-10}
runs=${3:-3}
ticks=$(getconf CLK_TCK)
sizes=(640x480 1920x1080 3840x2160)
source "$(dirname "$0")/../tests/lib/xvfb.sh"

cpu_ticks() {
  awk '{print $14 + $15}' "/proc/$1/stat"
}

# One run: prints "SAVER_PERCENT SERVER_PERCENT".
measure() {
  local size=$1 xvfb pid
  start_xvfb -screen 0 "${size}x24" || exit 1
  xvfb=$XVFB_PID
  "$saver" /s >/dev/null 2>&1 &
  pid=$!
  sleep 6  # past start-up and the opening
  local saver0 server0 time0 saver1 server1 time1
  saver0=$(cpu_ticks $pid)
  server0=$(cpu_ticks $xvfb)
  time0=$(date +%s.%N)
  sleep "$seconds"
  saver1=$(cpu_ticks $pid)
  server1=$(cpu_ticks $xvfb)
  time1=$(date +%s.%N)
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
  stop_xvfb
  awk -v a0="$saver0" -v a1="$saver1" -v b0="$server0" -v b1="$server1" -v w0="$time0" -v w1="$time1" -v hz="$ticks" \
    'BEGIN { printf "%.2f %.2f\n", 100 * (a1 - a0) / hz / (w1 - w0), 100 * (b1 - b0) / hz / (w1 - w0) }'
}

# Median, min and max of the numbers on standard input.
summary() {
  sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                      printf "%.2f (%.2f-%.2f)", m, v[1], v[NR] }'
}

declare -A saverRuns serverRuns
for ((run = 1; run <= runs; ++run)); do
  for size in "${sizes[@]}"; do
    read -r saverPercent serverPercent < <(measure "$size")
    echo "run $run, $size: saver $saverPercent%, X server $serverPercent% of one core"
    saverRuns[$size]+="$saverPercent"$'\n'
    serverRuns[$size]+="$serverPercent"$'\n'
  done
done
echo "| screen | saver, % of one core | X server, % of one core |"
echo "|---|---|---|"
for size in "${sizes[@]}"; do
  echo "| $size | $(printf '%s' "${saverRuns[$size]}" | summary) | $(printf '%s' "${serverRuns[$size]}" | summary) |"
done
echo "(medians of $runs runs of ${seconds} s at 60 Hz under Xvfb, spread min-max in brackets; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
