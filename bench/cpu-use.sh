#!/usr/bin/env bash
# CPU use of the running saver at 60 Hz: lumvane /s under Xvfb for a given
# number of seconds (20 by default) on a 640x480 and a 1920x1080 screen.
# Prints one line per screen: CPU seconds used / wall seconds, in percent of
# one core. Usage: bench/cpu-use.sh [LUMVANE] [SECONDS]
set -euo pipefail
saver=${1:-build/host/app/lumvane}
seconds=${2:-20}
ticks=$(getconf CLK_TCK)

measure() {
  local size=$1 display=:91
  Xvfb $display -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  for _ in $(seq 1 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  DISPLAY=$display "$saver" /s >/dev/null 2>&1 &
  local pid=$!
  sleep 2  # past start-up
  local start_ticks start_time end_ticks end_time
  start_ticks=$(awk '{print $14 + $15}' /proc/$pid/stat)
  start_time=$(date +%s.%N)
  sleep "$seconds"
  end_ticks=$(awk '{print $14 + $15}' /proc/$pid/stat)
  end_time=$(date +%s.%N)
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
  kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true
  awk -v s="$size" -v t0="$start_ticks" -v t1="$end_ticks" -v w0="$start_time" -v w1="$end_time" -v hz="$ticks" \
    'BEGIN { printf "saver CPU use at 60 Hz, %s screen: %.2f%% of one core (%.2f CPU s over %.1f s)\n", s, 100 * (t1 - t0) / hz / (w1 - w0), (t1 - t0) / hz, w1 - w0 }'
}

measure 640x480
measure 1920x1080
