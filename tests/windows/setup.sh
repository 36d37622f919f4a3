#!/usr/bin/env bash
# The setup program under 32-bit Wine, in the x86 pair's prefix (made by
# "wine.sh x86 WORK ... setup"): silent installs and uninstalls, the files,
# the registry values, the installed saver drawing, and an installed Glide
# (a stand-in glide2x.dll in the system folder) kept and used.
# Usage: setup.sh WORK DIST STANDIN SCENARIO [ARGS]
#   packages                 the setup program's PE header, both zips
#   refusals                 bad options and folders: nothing installed
#   install REFERENCE_LOG    install, draw (against the frame log), uninstall
#   installed-glide          the stand-in kept through installs and uninstall
#   windows-98               the screen saver in SYSTEM.INI, as Windows 9x has it
set -uo pipefail
work=$1
dist=$2
standin=$3
scenario=$4
shift 4
source "$(dirname "$0")/wine-lib.sh"
wine_prefix x86 "$work"
fail() { echo "FAIL: $*"; exit 1; }

setups=("$dist"/lumvane-*-setup.exe)
[[ ${#setups[@]} == 1 && -f ${setups[0]} ]] || fail "not one setup program in $dist: ${setups[*]}"
setup=${setups[0]}
version=$(basename "$setup" -setup.exe)
version=${version#lumvane-}
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Lumvane"
system="$drive_c/windows/system32"
desktop='HKCU\Control Panel\Desktop'
record='HKCU\Software\Lumvane'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumvane'

# The data of registry value NAME under KEY; fails when there is none.
reg_value() {
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^ *[^ ]+ +REG_[A-Z_]+/, ""); sub(/^    /, ""); print; found = 1 }
                      END { exit !found }'
}
reg_set() { "$wine" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1 || fail "could not set $2"; }
reg_clear() { "$wine" reg delete "$1" /v "$2" /f >/dev/null 2>&1; }
key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
# Runs the setup with ARGS and waits for it; prints its exit code.
run_setup() {
  start_in "$work" "$setup" "$@"
  wait_exit 60 || { stop; echo "timeout"; }
}
folder_files() { ls "$folder" 2>/dev/null | tr '\n' ' '; }
# The uninstaller runs a copy of itself from the temporary folder and
# returns at once: waits until that copy has ended.
run_uninstall() {
  [[ -f $folder/uninstall.exe ]] || fail "no uninstall.exe in the folder"
  start_in "$work" 'C:\Program Files\Lumvane\uninstall.exe' /S
  code=$(wait_exit 60) || { stop; fail "the uninstaller did not return"; }
  [[ $code == 0 ]] || fail "the uninstaller returned $code"
  for _ in $(seq 1 150); do
    pgrep -f 'nsu[^ ]*\.tmp' >/dev/null || break
    sleep 0.2
  done
  pgrep -f 'nsu[^ ]*\.tmp' >/dev/null && fail "the uninstaller's copy still runs after 30 s"
}
# Whether the current screen saver is the installed lumvane.scr (its short
# path, as the setup writes it, resolves to that file).
saver_is_installed() {
  local value
  value=$(reg_value "$desktop" SCRNSAVE.EXE) || return 1
  [[ $("$wine" winepath -u "$value" 2>/dev/null | tr -d '\r') -ef $folder/lumvane.scr ]]
}
case $scenario in
  packages)
    # The setup program: a 32-bit GUI program that Windows 95 loads
    # (subsystem 4.0), importing only DLLs every Windows has, with our version.
    headers=$(i686-w64-mingw32-objdump -p "$setup")
    grep -q "Magic.*010b" <<<"$headers" || fail "the setup program is not PE32"
    grep -q "Subsystem.*(Windows GUI)" <<<"$headers" || fail "the setup program is not a GUI program"
    grep -q "MajorSubsystemVersion[[:space:]]*4$" <<<"$headers" && grep -q "MinorSubsystemVersion[[:space:]]*0$" <<<"$headers" ||
      fail "the setup program does not have subsystem version 4.0"
    dlls=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    [[ $dlls == "advapi32.dll comctl32.dll gdi32.dll kernel32.dll ole32.dll shell32.dll user32.dll " ]] ||
      fail "the setup program imports $dlls"
    strings -el "$setup" | grep -qx "$version" || fail "the setup program has no version $version"
    # Each zip: a folder with the pair of its kind and the text, in CR LF.
    for kind in x86:010b x64:020b; do
      name=lumvane-$version-windows-${kind%:*}
      magic=${kind#*:}
      rm -rf "$work/zips" && mkdir -p "$work/zips"
      (cd "$work/zips" && cmake -E tar xf "$dist/$name.zip") || fail "$name.zip does not unpack"
      entries=$(cd "$work/zips" && find . -type f | sort | tr '\n' ' ')
      [[ $entries == "./$name/glide2x.dll ./$name/install.txt ./$name/lumvane.scr " ]] || fail "$name.zip holds $entries"
      for file in lumvane.scr glide2x.dll; do
        header=$(od -An -tu4 -j60 -N4 "$work/zips/$name/$file" | tr -d ' ')
        [[ $(od -An -tx2 -j$((header + 24)) -N2 "$work/zips/$name/$file" | tr -d ' ') == "$magic" ]] ||
          fail "$name.zip: $file is not of its kind"
      done
      text=$work/zips/$name/install.txt
      [[ $(grep -c $'\r$' "$text") == $(wc -l <"$text") ]] || fail "$name.zip: install.txt has lines without CR LF"
    done
    echo "ok: setup program PE32 GUI, subsystem 4.0, imports $dlls version $version; both zips hold their pair and install.txt"
    ;;
  refusals)
    # Each must end with 2 before anything is written. (Wine would quote a
    # /D= with blanks, which NSIS then ignores.)
    for option in /GLIDE=bogus '/D=C:\windows\Lumvane' '/D=C:\users\..\windows\system32\Lumvane'; do
      code=$(run_setup /S "$option")
      [[ $code == 2 ]] || fail "setup /S $option ended with $code, not 2"
      ! key_exists "$uninstall_key" || fail "setup /S $option wrote the uninstall entry"
      for made in "$drive_c/windows/Lumvane" "$system/Lumvane" "$folder"; do
        [[ ! -e $made ]] || fail "setup /S $option made $made"
      done
    done
    echo "ok: a bad /GLIDE= and a folder in the Windows folder (also by ..) end with 2, nothing written"
    ;;
  install)
    reference=$1
    reg_clear "$desktop" SCRNSAVE.EXE
    stamp=$work/before-install
    touch "$stamp"
    code=$(run_setup /S)
    [[ $code == 0 ]] || fail "the silent setup ended with $code"

    [[ $(folder_files) == "glide2x.dll lumvane.scr uninstall.exe " ]] || fail "the folder holds: $(folder_files)"
    rm -rf "$work/zip" && mkdir -p "$work/zip"
    (cd "$work/zip" && cmake -E tar xf "$dist/lumvane-$version-windows-x86.zip") || fail "the x86 zip does not unpack"
    for file in lumvane.scr glide2x.dll; do
      cmp -s "$folder/$file" "$work/zip/lumvane-$version-windows-x86/$file" || fail "$file differs from the zip's"
    done
    written=$(find "$drive_c/windows" -newer "$stamp" -type f | head -5)
    [[ -z $written ]] || fail "the setup wrote into the Windows folder: $written"

    saver_is_installed || fail "the current screen saver is $(reg_value "$desktop" SCRNSAVE.EXE), not the installed one"
    [[ $(reg_value "$record" PreviousScreenSaver) == "" ]] || fail "a previous screen saver recorded where there was none"
    [[ $(reg_value "$uninstall_key" DisplayVersion) == "$version" ]] || fail "DisplayVersion is not $version"
    [[ $(reg_value "$uninstall_key" UninstallString) == '"C:\Program Files\Lumvane\uninstall.exe"' ]] ||
      fail "UninstallString: $(reg_value "$uninstall_key" UninstallString)"
    [[ $(reg_value "$uninstall_key" DisplayName) == "Lumvane screen saver" ]] || fail "no DisplayName"

    # The saver as the system starts it ("SCRNSAVE.EXE /s", from another
    # folder) draws the frames every target draws.
    frames=120
    log=$work/installed-frames.log
    rm -f "$log"
    FX_GLIDE_SWAPINTERVAL=0 SOFTGLIDE_FRAMES=$log start_in "$work" "$(reg_value "$desktop" SCRNSAVE.EXE)" /s
    for _ in $(seq 1 300); do
      [[ -f $log && $(wc -l <"$log") -ge $frames ]] && break
      running || break
      sleep 0.2
    done
    stop
    [[ -f $log && $(wc -l <"$log") -ge $frames ]] || fail "the installed saver logged $(wc -l <"$log" 2>/dev/null || echo no) frames"
    [[ -f $reference ]] || fail "no reference frame log $reference"
    cmp -s <(head -n $frames "$log") <(head -n $frames "$reference") ||
      fail "the installed saver's frames differ from $(basename "$reference")'s"

    run_uninstall
    [[ ! -e $folder ]] || fail "the folder is left: $(folder_files)"
    ! reg_value "$desktop" SCRNSAVE.EXE >/dev/null || fail "a current screen saver is left: $(reg_value "$desktop" SCRNSAVE.EXE)"
    ! key_exists "$record" || fail "$record is left"
    ! key_exists "$uninstall_key" || fail "the uninstall entry is left"
    # Of all the files since the setup began, only the uninstaller's copy of
    # itself in the temporary folder is there, to be deleted at the next
    # start of Windows (as every NSIS uninstaller's is).
    left=$(find "$drive_c" -newer "$stamp" -type f | grep -v '/Temp/~nsu[^/]*\.tmp/Un\.exe$' | head -5)
    [[ -z $left ]] || fail "left behind: $left"
    pending=$(reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations)
    [[ $pending == *'\Temp\~nsu'*'\Un.exe'* ]] || fail "the uninstaller's copy is not deleted at the next start"
    echo "ok: installed (lumvane.scr, glide2x.dll as in the zip; current screen saver; uninstall entry $version), drew $frames frames as $(basename "$reference"), uninstalled without a trace (the uninstaller's copy goes at the next start)"
    ;;
  installed-glide)
    previous='C:\windows\system32\previous.scr'
    cp "$standin" "$system/glide2x.dll" || fail "could not place the stand-in"
    trap 'rm -f "$system/glide2x.dll"; reg_clear "$desktop" SCRNSAVE.EXE' EXIT
    reg_set "$desktop" SCRNSAVE.EXE "$previous"

    # Kept: ours left out, the current screen saver untouched on request.
    code=$(run_setup /S /NOSAVER)
    [[ $code == 0 ]] || fail "setup /S /NOSAVER ended with $code"
    [[ $(folder_files) == "lumvane.scr uninstall.exe " ]] || fail "beside an installed Glide the folder holds: $(folder_files)"
    [[ $(reg_value "$desktop" SCRNSAVE.EXE) == "$previous" ]] || fail "/NOSAVER changed the current screen saver"
    [[ $(reg_value "$uninstall_key" SoftwareGlide) == 0x0 ]] || fail "SoftwareGlide is not 0"

    # The installed saver loads the stand-in from the system folder.
    standin_log=$work/standin.log
    frames_log=$work/standin-frames.log
    rm -f "$standin_log" "$frames_log"
    GLIDE_STANDIN_LOG=$standin_log SOFTGLIDE_FRAMES=$frames_log \
      start_in "$work" 'C:\Program Files\Lumvane\lumvane.scr' /s
    for _ in $(seq 1 300); do
      grep -q grBufferSwap "$standin_log" 2>/dev/null && break
      running || break
      sleep 0.2
    done
    stop
    calls=$(tr -d '\r' <"$standin_log" 2>/dev/null | cut -d' ' -f1 | tr '\n' ' ')
    [[ $calls == "grGlideInit grSstWinOpen grBufferSwap " ]] || fail "the stand-in recorded: ${calls:-nothing}"
    loaded=$(head -1 "$standin_log" | tr -d '\r' | cut -d' ' -f2-)
    [[ ${loaded,,} == 'c:\windows\system32\glide2x.dll' ]] || fail "the stand-in was loaded from $loaded"
    [[ ! -e $frames_log ]] || fail "our glide2x.dll was loaded too (it wrote a frame log)"

    # Asked for ours; then run again with the defaults: ours goes again, and
    # the screen saver from before the first stays on record.
    code=$(run_setup /S /GLIDE=software)
    [[ $code == 0 ]] || fail "setup /S /GLIDE=software ended with $code"
    [[ $(folder_files) == "glide2x.dll lumvane.scr uninstall.exe " ]] || fail "/GLIDE=software: the folder holds $(folder_files)"
    saver_is_installed || fail "/GLIDE=software: Lumvane is not the current screen saver"
    code=$(run_setup /S)
    [[ $code == 0 ]] || fail "the setup run again ended with $code"
    [[ $(folder_files) == "lumvane.scr uninstall.exe " ]] || fail "run again: the folder holds $(folder_files)"
    [[ $(reg_value "$record" PreviousScreenSaver) == "$previous" ]] ||
      fail "the previous screen saver on record is $(reg_value "$record" PreviousScreenSaver)"

    run_uninstall
    [[ ! -e $folder ]] || fail "the folder is left: $(folder_files)"
    [[ $(reg_value "$desktop" SCRNSAVE.EXE) == "$previous" ]] || fail "the previous screen saver was not put back"
    ! key_exists "$record" || fail "$record is left"
    cmp -s "$standin" "$system/glide2x.dll" || fail "the installed Glide was changed or removed"
    echo "ok: beside an installed Glide ours is left out and the saver loads $loaded; /NOSAVER, /GLIDE=software, a second run; uninstalled, the previous screen saver back, the installed Glide untouched"
    ;;
  windows-98)
    # Wine acting as Windows 98, where the current screen saver is a line of
    # SYSTEM.INI's [boot] section: set, then the one before put back.
    ini=$drive_c/windows/system.ini
    previous='C:\WINDOWS\previous.scr'
    cp "$ini" "$work/system.ini.saved"
    trap 'cp "$work/system.ini.saved" "$ini"; "$wine" reg delete "HKCU\Software\Wine" /v Version /f >/dev/null 2>&1' EXIT
    printf '[boot]\nSCRNSAVE.EXE=%s\n' "$previous" >>"$ini"
    reg_set 'HKCU\Software\Wine' Version win98
    ini_saver() { sed -n 's/^SCRNSAVE\.EXE=//p' "$ini" | tr -d '\r'; }

    code=$(run_setup /S)
    [[ $code == 0 ]] || fail "the setup ended with $code"
    [[ $("$wine" winepath -u "$(ini_saver)" 2>/dev/null | tr -d '\r') -ef $folder/lumvane.scr ]] ||
      fail "SYSTEM.INI names $(ini_saver) as the screen saver"
    ! reg_value "$desktop" SCRNSAVE.EXE >/dev/null || fail "the setup wrote Windows NT's value on Windows 98"
    run_uninstall
    [[ $(ini_saver) == "$previous" ]] || fail "SYSTEM.INI names $(ini_saver) after uninstalling"
    [[ ! -e $folder ]] || fail "the folder is left: $(folder_files)"
    echo "ok: as Windows 98 the setup makes Lumvane the screen saver in SYSTEM.INI, the uninstaller puts $previous back"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
