#!/usr/bin/env bash
# The same frames on every target: runs of the saver with pacing off write
# frame logs (SOFTGLIDE_FRAMES, one "N HASH" line per swap), with and without
# the AVX2 paths, and their first 700 lines must agree.
# Usage: frames.sh capture CAPTURE OUT [PREFIX...]  (the Linux capture tool,
#                                                    run under PREFIX if given)
#        frames.sh agree DIR NAME...                 (DIR/NAME.log, all alike)
set -uo pipefail
frames=700
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
    (( lines >= frames )) || fail "$out has $lines lines"
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
    # Distinct pictures, so that agreement means something.
    distinct=$(cut -d' ' -f2 "$dir/$reference.head" | sort -u | wc -l)
    (( distinct > frames / 2 )) || fail "only $distinct distinct frames in $frames"
    echo "ok: $# logs agree on all $frames swaps ($distinct distinct frames): $*"
    ;;
  *)
    fail "usage: frames.sh capture CAPTURE OUT [PREFIX...] | agree DIR NAME..."
    ;;
esac
