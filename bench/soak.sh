#!/usr/bin/env bash
# Soak: the saver headless for many frames (200,000 by default) with pacing
# off. Reports frames per second and the saver's peak and final resident
# memory, which must agree within a few pages.
# Usage: bench/soak.sh [FRAMES] [CAPTURE]
set -euo pipefail
frames=${1:-200000}
capture=${2:-build/host/tools/lumvane-capture}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

start=$(date +%s.%N)
"$capture" --out "$out" --frames "$frames" --end-after "$frames" >"$out/result" &
parent=$!
saver=""
peak=0
last=0
early=0
while kill -0 $parent 2>/dev/null; do
  [[ -z $saver ]] && saver=$(pgrep -P $parent | head -1 || true)
  if [[ -n $saver && -r /proc/$saver/status ]]; then
    rss=$(awk '/^VmRSS:/ {print $2}' /proc/$saver/status 2>/dev/null || echo 0)
    hwm=$(awk '/^VmHWM:/ {print $2}' /proc/$saver/status 2>/dev/null || echo 0)
    [[ -n $rss && $rss -gt 0 ]] && last=$rss
    [[ -n $hwm && $hwm -gt $peak ]] && peak=$hwm
    [[ $early -eq 0 && -n $rss && $rss -gt 0 ]] && early=$rss
  fi
  sleep 0.5
done
wait $parent
end=$(date +%s.%N)
cat "$out/result"
awk -v f="$frames" -v s="$start" -v e="$end" -v p="$peak" -v l="$last" -v a="$early" 'BEGIN {
  printf "soak: %d frames in %.1f s, %.0f frames per second\n", f, e - s, f / (e - s)
  printf "saver resident memory: first sample %d KiB, peak %d KiB, last sample %d KiB (peak - last: %d KiB)\n", a, p, l, p - l
  exit (p - l > 16) ? 1 : 0
}'
