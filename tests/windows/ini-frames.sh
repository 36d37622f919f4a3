#!/usr/bin/env bash
# A Windows pair's frame log at 3x, chosen as Windows users choose it: a
# glide2x.ini beside glide2x.dll (the environment only turns pacing off and
# names the log). The pair runs from a copy with the file beside it, started
# from another folder, so the file is found beside the DLL, not in the
# current folder; the file's bad value is reported as the environment's
# are. The saver is ended after FRAMES swaps (300 by default: through the
# opening's 255 into the flight), and its wipe follows.
# Usage: ini-frames.sh x64|x86 WORK DIST OUT [no-avx2]
#   (WORK: the pair's prefix and X server, made by "wine.sh ... setup")
set -uo pipefail
arch=$1
work=$2
dist=$3
out=$4
source "$(dirname "$0")/wine-lib.sh"
wine_prefix "$arch" "$work"
fail() { echo "FAIL: $*"; exit 1; }
frames=${FRAMES:-300}

pair=$work/ini-3x
rm -rf "$pair" "$out"
mkdir -p "$pair" "$(dirname "$out")"
cp "$dist/lumvane.scr" "$dist/glide2x.dll" "$pair/" || fail "no pair in $dist"
# As Notepad writes it: CR LF.
printf '; Lumvane drawn at three times the card'"'"'s size\r\n[softglide]\r\nSOFTGLIDE_RESOLUTION=3x\r\nSOFTGLIDE_SCALE=stretch\r\n' \
  >"$pair/glide2x.ini"
unset SOFTGLIDE_RESOLUTION SOFTGLIDE_SCALE SOFTGLIDE_NO_AVX2
export FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_FRAMES=$out
[[ ${5:-} == no-avx2 ]] && export SOFTGLIDE_NO_AVX2=1

start_in "$work" "$pair/lumvane.scr" /s
for _ in $(seq 1 600); do
  [[ -f $out && $(wc -l <"$out") -ge $frames ]] && break
  running || break
  sleep 0.2
done
window=$(xdotool search --name '^Lumvane$' 2>/dev/null | head -1)
[[ -n $window ]] || { stop; sed 's/^/  /' "$work/saver.log"; fail "no Lumvane window"; }
xdotool windowfocus --sync "$window" >/dev/null 2>&1
xdotool key a
code=$(wait_exit 20) || { stop; fail "the saver did not end after a key"; }
[[ $code == 65 ]] || { sed 's/^/  /' "$work/saver.log"; fail "exit code $code after the A key, expected 65"; }
lines=$(wc -l <"$out" 2>/dev/null || echo 0)
(( lines >= frames + 20 )) || fail "$lines swaps logged"
grep -q 'ini-3x\\glide2x.ini line 4: SOFTGLIDE_SCALE="stretch" ignored' "$work/saver.log" ||
  fail "the file's bad value was not reported: $(head -3 "$work/saver.log")"
echo "ok: $lines swaps logged in $out${5:+ ($5)}, drawn as glide2x.ini beside glide2x.dll says"
