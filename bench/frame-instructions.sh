#!/usr/bin/env bash
# Instructions per flight frame of lumvane /s and of its X server, both under
# callgrind: exact and repeatable where CPU time is not. Xvfb with a screen
# of SIZE runs under callgrind, the saver beside it; neither is measured
# through start-up and the opening (WARM seconds), then both are for
# COLLECT seconds. Frames are the saver's grBufferSwap calls in that time.
# With CACHE=1 the caches are simulated too (first-level and last-level
# misses of the presenter, per frame). glibc copies long rows with rep movsb,
# which callgrind counts a byte at a time: compare builds that copy the same
# way. SOFTGLIDE_SCALE in the environment picks the saver's mode.
# Usage: bench/frame-instructions.sh [LUMVANE] [SIZE] [WARM] [COLLECT]
#   (defaults build/host/app/lumvane 3840x2160 30 15; OUT=DIR keeps the profiles)
set -euo pipefail
saver=${1:-build/host/app/lumvane}
size=${2:-3840x2160}
warm=${3:-30}
collect=${4:-15}
out=${OUT:-$(mktemp -d)}
mkdir -p "$out"
options=(--tool=callgrind --instr-atstart=no)
[[ ${CACHE:-} == 1 ]] && options+=(--cache-sim=yes)

exec {pipe}<> <(:)
valgrind "${options[@]}" --callgrind-out-file="$out/xvfb.%p" Xvfb -displayfd "$pipe" -nolisten tcp \
  -screen 0 "${size}x24" >"$out/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 120 -u "$pipe" number || { echo "Xvfb did not start: $(tail -3 "$out/xvfb.log")" >&2; exit 1; }
exec {pipe}<&-
DISPLAY=:$number valgrind "${options[@]}" --callgrind-out-file="$out/saver.%p" "$saver" /s >"$out/saver.log" 2>&1 &
saver_pid=$!
sleep "$warm"
for command in "-i on" "SLEEP" "-i off" "-d"; do
  if [[ $command == SLEEP ]]; then
    sleep "$collect"
    continue
  fi
  callgrind_control $command "$saver_pid" >/dev/null 2>&1
  callgrind_control $command "$xvfb" >/dev/null 2>&1
done
sleep 2
kill "$saver_pid"; wait "$saver_pid" 2>/dev/null || true
kill "$xvfb"; wait "$xvfb" 2>/dev/null || true

# The dumps are the largest files of each (the exit dumps hold nothing);
# the readers below stop early, which their pipes must not count as failure.
set +o pipefail
saverDump=$(ls -S "$out"/saver.* | grep -v log | head -1)
xvfbDump=$(ls -S "$out"/xvfb.* | grep -v log | head -1)
id=$(grep -m1 -o "^c\?fn=([0-9]*) grBufferSwap$" "$saverDump" | grep -o "([0-9]*)")
frames=$(awk -v id="cfn=$id" 'index($0, id) == 1 { getline; split($1, c, "="); n += c[2] } END { print n + 0 }' \
  "$saverDump")
total() { callgrind_annotate --show-percs=no "$1" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'; }
presenting=$(callgrind_annotate --show-percs=no --inclusive=yes "$saverDump" | awk '/presentPicture/ { gsub(",", "", $1); print $1; exit }')
awk -v f="$frames" -v s="$(total "$saverDump")" -v x="$(total "$xvfbDump")" -v p="$presenting" -v size="$size" 'BEGIN {
  if (f == 0) { print "no frames were counted"; exit 1 }
  printf "%s, %d frames: per frame the saver %.3f M instructions (presenting %.3f M), Xvfb %.3f M\n",
         size, f, s / f / 1e6, p / f / 1e6, x / f / 1e6 }'
if [[ ${CACHE:-} == 1 ]]; then
  callgrind_annotate --show-percs=no --inclusive=yes "$saverDump" | awk -v f="$frames" '/presentPicture/ {
    for (i = 1; i <= NF; ++i) gsub(",", "", $i)
    printf "presenting per frame: D1 read misses %.1f k, D1 write misses %.1f k, LL write misses %.2f k\n",
           $5 / f / 1e3, $6 / f / 1e3, $9 / f / 1e3; exit }'
fi
