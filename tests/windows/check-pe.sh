#!/usr/bin/env bash
# Static checks of a Windows pair: PE kind, GUI subsystem, imports of the
# saver (system DLLs and the Glide names only), exports of our glide2x.dll;
# for the 32-bit pair also what Windows 95 needs: subsystem version 4.0 and
# only functions from win95-imports.txt.
# Usage: check-pe.sh i686|x86_64 DIR
set -euo pipefail
arch=$1
dir=$2
objdump=$arch-w64-mingw32-objdump
scr=$dir/lumvane.scr
dll=$dir/glide2x.dll
fail() { echo "FAIL: $*"; exit 1; }

glide_calls=(grGlideInit:0 grSstQueryHardware:4 grSstSelect:4 grSstWinOpen:28 grGlideShutdown:0
  grColorCombine:20 grAlphaCombine:20 guColorCombineFunction:4 grFogMode:4 grFogColorValue:4
  guFogGenerateExp:8 grFogTable:4 grAlphaBlendFunction:16 grClipWindow:16 grBufferClear:12
  grDrawPoint:4 grAADrawPoint:4 grAADrawLine:8 grBufferSwap:4)
export_name() {
  local name=${1%%:*} bytes=${1##*:}
  if [[ $arch == i686 ]]; then echo "_${name}@${bytes}"; else echo "$name"; fi
}

if [[ $arch == i686 ]]; then kind="PE32"; magic="010b"; else kind="PE32+"; magic="020b"; fi
for file in "$scr" "$dll"; do
  [[ -f $file ]] || fail "$file is missing"
  headers=$($objdump -p "$file")
  grep -q "Magic.*$magic" <<<"$headers" || fail "$file is not $kind"
done
grep -q "Subsystem.*(Windows GUI)" <<<"$($objdump -p "$scr")" || fail "lumvane.scr is not a GUI program"

# Imported DLLs: glide2x.dll and system DLLs only (no libgcc, libstdc++ or
# winpthread beside them).
dlls=$($objdump -p "$scr" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
for name in $dlls; do
  case $name in
    glide2x.dll|kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|winmm.dll) ;;
    *) fail "lumvane.scr imports $name" ;;
  esac
done
grep -q "glide2x.dll" <<<"$dlls" || fail "lumvane.scr does not import glide2x.dll"
dll_imports=$($objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
for name in $dll_imports; do
  case $name in
    kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|winmm.dll) ;;
    *) fail "glide2x.dll imports $name" ;;
  esac
done

# The 32-bit pair on Windows 95: a 4.0 subsystem version (newer ones do not
# load there) and only the system functions it implements in full.
win95_report=""
if [[ $arch == i686 ]]; then
  allowed=$(grep -v '^#' "$(dirname "$0")/win95-imports.txt")
  for file in "$scr" "$dll"; do
    headers=$($objdump -p "$file")
    grep -q "MajorSubsystemVersion[[:space:]]*4$" <<<"$headers" && grep -q "MinorSubsystemVersion[[:space:]]*0$" <<<"$headers" ||
      fail "$(basename "$file") does not have subsystem version 4.0"
    imports=$($objdump -p "$file" | awk '/DLL Name:/ {dll = tolower($3)} NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && dll != "glide2x.dll" {print dll, $3}' | sort -u)
    [[ -n $imports ]] || fail "no system imports read from $(basename "$file")"
    unknown=$(comm -23 <(echo "$imports") <(echo "$allowed" | sort -u) | tr '\n' ';')
    [[ -z $unknown ]] || fail "$(basename "$file") imports what Windows 95 lacks: $unknown"
    win95_report+=" $(basename "$file") $(wc -l <<<"$imports");"
  done
  win95_report="; subsystem 4.0, system imports all on the Windows 95 list:$win95_report"
fi

# The saver's Glide imports, by the library's own names; every one exported.
glide_imports=$($objdump -p "$scr" | awk '/DLL Name: glide2x.dll/{on=1; next} /DLL Name:/{on=0} on && NF==3 && $2 ~ /^[0-9]+$/ {print $3}' | sort)
exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[ \t]*\[ *[0-9]+\]/ {print $NF}' | sort)
expected_imports=$(for call in "${glide_calls[@]}"; do export_name "$call"; done | sort)
[[ "$glide_imports" == "$expected_imports" ]] || fail "Glide imports differ: $(diff <(echo "$expected_imports") <(echo "$glide_imports") | tr '\n' ' ')"
for name in $expected_imports $(export_name guFogTableIndexToW:4); do
  grep -qx -- "$name" <<<"$exports" || fail "glide2x.dll does not export $name"
done
[[ $(wc -l <<<"$exports") -eq 20 ]] || fail "glide2x.dll exports $(wc -l <<<"$exports") names, not 20"

# The version resource and the name string 1.
$objdump -h "$scr" | grep -q "\.rsrc" || fail "lumvane.scr has no resources"
strings -el "$scr" | grep -qx "Lumvane" || fail "lumvane.scr has no string \"Lumvane\""
strings -el "$scr" | grep -qx "1.0.0" || fail "lumvane.scr has no version information"
echo "ok: $arch $kind GUI; imports $dlls; ${#glide_calls[@]} Glide imports, 20 exports$win95_report"
