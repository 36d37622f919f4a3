#!/usr/bin/env bash
# The same frames on every target: runs of the saver with pacing off write
# frame logs (SOFTGLIDE_FRAMES, one "N HASH" line per swap), with and without
# the AVX2 paths, and their first 700 lines (FRAMES, when set) must agree, and
# so must their last 20, the closing wipe, whatever swap it began at. Its
# last ten frames are black, which proves the grid's size (GRID, 640x480
# when unset).
# Usage: frames.sh capture CAPTURE OUT [PREFIX...]  (the Linux capture tool,
#                                                    run under PREFIX if given)
#        frames.sh agree DIR NAME...                 (DIR/NAME.log, all alike)
set -uo pipefail
frames=${FRAMES:-700}
wipe=20
fail() { echo "FAIL: $*"; exit 1; }

case ${1:-} in
  capture)
    capture=$2
    out=$3
    shift 3
    [[ -x $capture ]] || fail "$capture is missing"
    mkdir -p "$(dirname "$out")"
    rm -f "$out"
    scratch=$(mktemp -d)
    FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_FRAMES=$out timeout 300 "$@" "$capture" --out "$scratch" \
      --frames $frames --end-after $frames >"$scratch/capture.log" 2>&1
    code=$?
    tail -1 "$scratch/capture.log" | grep -q "exit code: 65" || { cat "$scratch/capture.log"; rm -rf "$scratch"; fail "the capture run ended with $code"; }
    rm -rf "$scratch"
    lines=$(wc -l <"$out")
    (( lines >= frames + wipe )) || fail "$out has $lines lines"
    echo "ok: $lines swaps logged in $out"
    ;;
  agree)
    dir=$2
    shift 2
    (( $# >= 2 )) || fail "name at least two logs"
    reference=$1
    head -n $frames "$dir/$reference.log" >"$dir/$reference.head" 2>/dev/null
    [[ $(wc -l <"$dir/$reference.head") -eq $frames ]] || fail "$reference.log has fewer than $frames lines"
    # Line k must be "k HASH": the logs number every swap from 1.
    awk -v n=$frames '$1 != NR || length($2) != 16 || $2 !~ /^[0-9a-f]+$/ {bad = 1} END {exit bad || NR != n}' \
      "$dir/$reference.head" || fail "$reference.log is not a frame log"
    for name in "$@"; do
      [[ -f $dir/$name.log ]] || fail "$name.log is missing"
      first=$(head -n $frames "$dir/$name.log" | cmp - "$dir/$reference.head" 2>&1 | sed -n 's/.*line \([0-9]*\).*/\1/p')
      if [[ -n $first ]] || [[ $(head -n $frames "$dir/$name.log" | wc -l) -ne $frames ]]; then
        fail "$name differs from $reference from swap ${first:-(short log)}: $(sed -n "${first:-1}p" "$dir/$name.log") against $(sed -n "${first:-1}p" "$dir/$reference.head")"
      fi
    done
    # The wipe: the same 20 frames, the last ten black. A black frame's hash
    # is FNV-1a over 2WH zero bytes, each of which only multiplies by the
    # prime: the offset basis times the prime to the 2WH, modulo 2^64.
    grid=${GRID:-640x480}
    black=$(python3 -c "print('%016x' % (0xcbf29ce484222325 * pow(0x100000001b3, 2 * ${grid%x*} * ${grid#*x}, 1 << 64) % (1 << 64)))")
    tail -n $wipe "$dir/$reference.log" | cut -d' ' -f2 >"$dir/$reference.wipe"
    [[ $(tail -n 10 "$dir/$reference.wipe" | sort -u) == "$black" ]] ||
      fail "the last ten frames of $reference.log are not black on a $grid grid ($black): $(tail -1 "$dir/$reference.wipe")"
    for name in "$@"; do
      tail -n $wipe "$dir/$name.log" | cut -d' ' -f2 | cmp -s - "$dir/$reference.wipe" ||
        fail "$name's closing wipe differs from $reference's"
    done
    # Distinct pictures, so that agreement means something.
    distinct=$(cut -d' ' -f2 "$dir/$reference.head" | sort -u | wc -l)
    (( distinct > frames / 2 )) || fail "only $distinct distinct frames in $frames"
    echo "ok: $# logs agree on all $frames swaps ($distinct distinct frames) and the wipe, black on $grid: $*"
    ;;
  *)
    fail "usage: frames.sh capture CAPTURE OUT [PREFIX...] | agree DIR NAME..."
    ;;
esac
