#!/usr/bin/env bash
# CPU use of lumvane /s on a Wayland desktop at 60 Hz, as bench/cpu-use.sh
# measures it under Xvfb: a headless sway (tests/lib/sway.sh; pixman, no
# GPU) at 1280x800 and 1920x1080, the saver on its Wayland window (the
# default there) and in the same run through XWayland (SDL_VIDEODRIVER=x11),
# each size and way RUNS times (3 by default) over SECONDS of flight (10 by
# default) after 6 s of start-up and the opening. The compositor's share is
# sway's, and XWayland's where it serves. Runs as root (it makes a test
# user for sway, which refuses root).
# Usage: bench/cpu-use-wayland.sh [LUMVANE] [SECONDS] [RUNS]
set -euo pipefail
saver=$(realpath "${1:-build/host/app/lumvane}")
seconds=${2:-10}
runs=${3:-3}
ticks=$(getconf CLK_TCK)
sizes=(1280x800 1920x1080)
source "$(dirname "$0")/../tests/lib/sway.sh"
work=$(mktemp -d)
chmod 755 "$work"
cp "$saver" "$work/lumvane"
trap 'stop_sway; remove_sway_user; rm -rf "$work"' EXIT
make_sway_user lumvane-bench

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
percent() {
  awk -v a="$1" -v b="$2" -v w0="$3" -v w1="$4" -v hz="$ticks" 'BEGIN { printf "%.2f", 100 * (b - a) / hz / (w1 - w0) }'
}

# One run: prints "SAVER_PERCENT COMPOSITOR_PERCENT".
measure() {
  local size=$1 way=$2 pid xwayland=0 program0 server0 time0 program1 server1 time1
  if [[ $way == xwayland ]]; then
    start_sway "$size" xwayland || exit 1
    "${SWAY_USER[@]}" SOFTGLIDE_SCALE="${SOFTGLIDE_SCALE:-aspect}" SDL_VIDEODRIVER=x11 "$work/lumvane" /s >/dev/null 2>&1 &
  else
    start_sway "$size" || exit 1
    "${SWAY_USER[@]}" SOFTGLIDE_SCALE="${SOFTGLIDE_SCALE:-aspect}" "$work/lumvane" /s >/dev/null 2>&1 &
  fi
  pid=$!
  sleep 6
  [[ $way == xwayland ]] && xwayland=$(pgrep -u lumvane-bench -x Xwayland | head -1)
  program0=$(cpu_ticks "$pid")
  server0=$(($(cpu_ticks "$SWAY_PID") + $(cpu_ticks "${xwayland:-0}")))
  time0=$(date +%s.%N)
  sleep "$seconds"
  program1=$(cpu_ticks "$pid")
  server1=$(($(cpu_ticks "$SWAY_PID") + $(cpu_ticks "${xwayland:-0}")))
  time1=$(date +%s.%N)
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  stop_sway
  echo "$(percent "$program0" "$program1" "$time0" "$time1") $(percent "$server0" "$server1" "$time0" "$time1")"
}

summary() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) { printf "n/a"; exit }
                                      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                      printf "%.1f (%.1f-%.1f)", m, v[1], v[NR] }'
}

declare -A saverRuns serverRuns
for ((run = 1; run <= runs; ++run)); do
  for size in "${sizes[@]}"; do
    for way in wayland xwayland; do
      read -r saverPercent serverPercent < <(measure "$size" "$way")
      echo "run $run, $size, $way: saver $saverPercent%, compositor $serverPercent% of one core"
      saverRuns[$size $way]+="$saverPercent"$'\n'
      serverRuns[$size $way]+="$serverPercent"$'\n'
    done
  done
done
echo "| screen | lumvane /s on Wayland | sway | lumvane /s through XWayland | sway + XWayland |"
echo "|---|---|---|---|---|"
for size in "${sizes[@]}"; do
  echo "| $size | $(printf '%s' "${saverRuns[$size wayland]}" | summary) |" \
       "$(printf '%s' "${serverRuns[$size wayland]}" | summary) |" \
       "$(printf '%s' "${saverRuns[$size xwayland]}" | summary) |" \
       "$(printf '%s' "${serverRuns[$size xwayland]}" | summary) |"
done
echo "(% of one core, medians of $runs runs of ${seconds} s on a headless sway, spread min-max in brackets;" \
     "SOFTGLIDE_SCALE=${SOFTGLIDE_SCALE:-aspect}; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
