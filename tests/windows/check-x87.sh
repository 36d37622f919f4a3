#!/usr/bin/env bash
# The 32-bit pair runs on a Pentium II: no SSE or SSE2 instruction (nothing
# on an xmm or ymm register, no SSE-only instruction on MMX registers, no
# SSE2 fence or non-temporal store) outside the functions marked for AVX2,
# which run only behind the processor check. Usage: check-x87.sh DIR
set -euo pipefail
dir=$1
fail() { echo "FAIL: $*"; exit 1; }

report=""
for file in "$dir/lumvane.scr" "$dir/glide2x.dll"; do
  [[ -f $file ]] || fail "$file is missing"
  result=$(i686-w64-mingw32-objdump -d --no-show-raw-insn -C "$file" | awk '
    /^[0-9a-f]+ <.*>:$/ {
      name = $0; sub(/^[0-9a-f]+ </, "", name); sub(/>:$/, "", name)
      marked = name ~ /Avx2\(/ && name !~ /(has|allow)Avx2\(/
      next
    }
    /%[xyz]mm[0-9]/ || /\t(movnti|movntq|maskmovq|lfence|mfence|sfence|clflush|pshufw|pavg[bw]|pextrw|pinsrw|pmaxsw|pmaxub|pminsw|pminub|pmovmskb|pmulhuw|psadbw|paddq|psubq|pmuludq|prefetch[a-z0-9]*|ldmxcsr|stmxcsr)[ \t]/ {
      if (marked) { allowed++ } else { bad++; if (bad <= 5) print "  " name ":" $0 }
    }
    END { printf "%d %d\n", bad + 0, allowed + 0 }')
  counts=$(tail -1 <<<"$result")
  bad=${counts% *}
  allowed=${counts#* }
  if (( bad > 0 )); then
    echo "$result" | head -n -1
    fail "$(basename "$file") has $bad SSE/SSE2 instructions outside the AVX2 functions"
  fi
  report+=" $(basename "$file"): $allowed in AVX2 functions;"
done
# The AVX2 functions are found by name: were none found, this check would
# prove nothing.
[[ $report == *"glide2x.dll: 0 "* ]] && fail "no AVX2 function found in glide2x.dll"
echo "ok: no SSE or SSE2 outside the AVX2 functions;$report"
