; Lumvane's setup program for 32-bit Windows, built with NSIS (makensis) by
; packaging/windows/CMakeLists.txt, which defines VERSION, SAVER (lumvane.scr),
; GLIDE (our glide2x.dll) and OUTFILE.
;
; It puts the saver in a folder of its own and no file into the Windows or
; system folders (on Windows 9x it sets the screen saver's line of SYSTEM.INI,
; as Display Properties does). A glide2x.dll already installed there belongs to a card's
; driver or a Glide wrapper: by default ours is then left out of the folder,
; so that the system's is the one Windows loads for the saver (a program's own
; folder is searched first, then the system folders).
;
; Command line, besides NSIS's own /S (silent, with the defaults) and /D=DIR:
;   /NOSAVER                   keep the current screen saver
;   /GLIDE=installed|software  draw through the installed Glide (the default
;                              where there is one) or through ours
; A bad /GLIDE= value, or a folder inside the Windows folder, ends the setup
; with exit code 2, having written nothing.

Unicode false ; the ANSI stub, which Windows 95, 98 and Me can run
SetCompressor /SOLID lzma
RequestExecutionLevel admin ; Program Files and the uninstall entry need it

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumvane"
; Per user: what this setup made the current screen saver, and what was
; current before, for the uninstaller to put back.
!define RECORD_KEY "Software\Lumvane"
; Where Windows NT keeps the current screen saver (the path, as the system's
; own Install command writes it); Windows 95, 98 and Me keep it in SYSTEM.INI.
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Lumvane"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Lumvane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Lumvane ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Lumvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Lumvane setup"
VIAddVersionKey "CompanyName" "Lumvane"
VIAddVersionKey "LegalCopyright" "MIT licence"

Var makeCurrent       ; 1: make Lumvane the current screen saver
Var useSoftwareGlide  ; 1: install our glide2x.dll beside the saver
Var installedGlide    ; the glide2x.dll in a system folder, "" when none
Var hadSoftwareGlide  ; 1: an earlier setup put our glide2x.dll in the folder
Var makeCurrentBox
Var softwareGlideButton
Var installedGlideButton

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs Lumvane, a star-field screen saver that draws through Glide, in a folder of its own. It puts no file into the Windows folder or the system folders.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE directoryPageLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom optionsPage optionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The current screen saver, for the setup and the uninstaller alike ("un."
; is the uninstaller's prefix).
!macro screenSaverFunctions prefix
  ; $R1: the current screen saver's path, "" when there is none.
  Function ${prefix}readCurrentScreenSaver
    ${If} ${IsNT}
      ReadRegStr $R1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      ReadINIStr $R1 "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
    ${EndIf}
  FunctionEnd

  ; Makes $R1 the current screen saver; "" leaves none.
  Function ${prefix}writeCurrentScreenSaver
    ${If} ${IsNT}
      ${If} $R1 == ""
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${Else}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $R1
      ${EndIf}
    ${Else}
      ${If} $R1 == ""
        DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
      ${Else}
        WriteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE" $R1
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; $R9: 1 when the screen saver $R1 is the installed lumvane.scr, by any of
  ; the names a setup or the system's Install command writes (long, short,
  ; any letter case); 0 otherwise. Needs the file in place.
  Function ${prefix}isInstalledSaver
    StrCpy $R9 0
    ${If} $R1 != ""
      GetFullPathName /SHORT $R8 "$INSTDIR\lumvane.scr"
      ReadRegStr $R7 HKCU "${RECORD_KEY}" "ScreenSaver"
      ${If} $R1 == "$INSTDIR\lumvane.scr"
      ${OrIf} $R1 == $R8
      ${OrIf} $R1 == $R7
        StrCpy $R9 1
      ${EndIf}
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro screenSaverFunctions ""
!insertmacro screenSaverFunctions "un."

; $installedGlide: the glide2x.dll that Windows would load for the saver were
; ours not beside it, from the folders it searches after the program's own.
; A 32-bit program on 64-bit Windows has SysWOW64 for its system folder.
Function findInstalledGlide
  StrCpy $installedGlide ""
  ${If} ${FileExists} "$WINDIR\SysWOW64\*.*"
    StrCpy $0 "$WINDIR\SysWOW64"
  ${Else}
    StrCpy $0 $SYSDIR
  ${EndIf}
  ${If} ${FileExists} "$0\glide2x.dll"
    StrCpy $installedGlide "$0\glide2x.dll"
  ${ElseIf} ${FileExists} "$WINDIR\SYSTEM\glide2x.dll"
    StrCpy $installedGlide "$WINDIR\SYSTEM\glide2x.dll"
  ${ElseIf} ${FileExists} "$WINDIR\glide2x.dll"
    StrCpy $installedGlide "$WINDIR\glide2x.dll"
  ${EndIf}
FunctionEnd

; $9: 1 when the path $1 is the folder $2 or lies inside it (any letter case).
Function isWithinFolder
  StrLen $3 $2
  StrCpy $4 $1 $3
  StrCpy $5 $1 1 $3
  StrCpy $9 0
  ${If} $4 == $2
    ${If} $5 == ""
    ${OrIf} $5 == "\"
      StrCpy $9 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0: why $INSTDIR cannot take Lumvane, "" when it can: it lies in the
; Windows folder or a system folder within it. (NSIS takes only full paths,
; from the directory page and from /D=.) The folder need not exist yet: its
; nearest existing parent, as Windows resolves it (".." and all), is compared
; with the Windows folder's long and short names.
Function checkInstallFolder
  StrCpy $0 ""
  StrCpy $6 $INSTDIR
  ${Do}
    ; A drive alone ("C:") would name its current folder: its root is the
    ; last parent to try.
    StrCpy $7 $6 "" -1
    ${If} $7 == ":"
      StrCpy $6 "$6\"
    ${EndIf}
    GetFullPathName $1 $6
    ${If} $1 != ""
    ${OrIf} $7 == ":"
      ${Break}
    ${EndIf}
    ${GetParent} $6 $6
  ${LoopUntil} $6 == ""
  ${If} $1 != ""
    StrCpy $2 $WINDIR
    Call isWithinFolder
    ${If} $9 == 0
      GetFullPathName /SHORT $2 $WINDIR
      Call isWithinFolder
    ${EndIf}
    ${If} $9 == 1
      StrCpy $0 "Lumvane keeps out of the Windows folder and the system folders in it: $INSTDIR lies there."
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  Call findInstalledGlide
  StrCpy $makeCurrent 1
  ${If} $installedGlide == ""
    StrCpy $useSoftwareGlide 1
  ${Else}
    StrCpy $useSoftwareGlide 0
  ${EndIf}
  ReadRegDWORD $hadSoftwareGlide HKLM "${UNINSTALL_KEY}" "SoftwareGlide"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOSAVER" $R1
  ${IfNot} ${Errors}
    StrCpy $makeCurrent 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/GLIDE=" $R1
  ${IfNot} ${Errors}
    ${If} $R1 == "software"
      StrCpy $useSoftwareGlide 1
    ${ElseIf} $R1 != "installed"
      MessageBox MB_ICONSTOP "Unknown /GLIDE=$R1: say installed or software." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}

  ; The directory page refuses such a folder; /D= in a silent run comes here.
  Call checkInstallFolder
  ${If} $0 != ""
    MessageBox MB_ICONSTOP $0 /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function directoryPageLeave
  Call checkInstallFolder
  ${If} $0 != ""
    MessageBox MB_ICONEXCLAMATION "$0 Please choose another folder."
    Abort
  ${EndIf}
FunctionEnd

; Further choices about our Glide belong on this page, beside the choice of
; Glide (the section writes them where it installs ours).
Function optionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Whether Lumvane becomes your screen saver, and which Glide it draws through."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 12u "Make Lumvane the current screen saver"
  Pop $makeCurrentBox
  ${If} $makeCurrent == 1
    ${NSD_Check} $makeCurrentBox
  ${EndIf}

  ${If} $installedGlide == ""
    ${NSD_CreateLabel} 0 24u 100% 24u "No Glide library is installed, so Lumvane draws through its own software Glide, which needs no 3D accelerator."
    Pop $0
  ${Else}
    ${NSD_CreateLabel} 0 24u 100% 30u "A Glide library is installed ($installedGlide): a 3dfx card's driver or a Glide wrapper put it there. It stays as it is. Draw through:"
    Pop $0
    ${NSD_CreateRadioButton} 10u 56u -10u 12u "the installed Glide library (a 3dfx card or the wrapper draws)"
    Pop $installedGlideButton
    ${NSD_CreateRadioButton} 10u 70u -10u 12u "Lumvane's own software Glide (no 3D accelerator needed)"
    Pop $softwareGlideButton
    ${If} $useSoftwareGlide == 1
      ${NSD_Check} $softwareGlideButton
    ${Else}
      ${NSD_Check} $installedGlideButton
    ${EndIf}
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function optionsPageLeave
  ${NSD_GetState} $makeCurrentBox $makeCurrent
  ${If} $installedGlide != ""
    ${NSD_GetState} $softwareGlideButton $useSoftwareGlide
  ${EndIf}
FunctionEnd

; Records what was current before (unless Lumvane already is: a setup run
; again keeps the first record), then makes the installed saver current, by
; its short path where the volume has short names, as the system's Install
; command does (a path with blanks would not start on Windows 9x).
Function makeCurrentScreenSaver
  Call readCurrentScreenSaver
  Call isInstalledSaver
  ${If} $R9 == 0
    WriteRegStr HKCU "${RECORD_KEY}" "PreviousScreenSaver" $R1
  ${EndIf}
  GetFullPathName /SHORT $R1 "$INSTDIR\lumvane.scr"
  ${If} $R1 == ""
    StrCpy $R1 "$INSTDIR\lumvane.scr"
  ${EndIf}
  Call writeCurrentScreenSaver
  WriteRegStr HKCU "${RECORD_KEY}" "ScreenSaver" $R1
FunctionEnd

Section
  SetOutPath $INSTDIR
  File "/oname=lumvane.scr" "${SAVER}"
  ${If} $useSoftwareGlide == 1
    ; The board's settings, when it has some to offer, go beside it.
    File "/oname=glide2x.dll" "${GLIDE}"
  ${ElseIf} $hadSoftwareGlide == 1
    ; An earlier setup's copy would hide the installed Glide.
    Delete "$INSTDIR\glide2x.dll"
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lumvane screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Lumvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "SoftwareGlide" $useSoftwareGlide

  ${If} $makeCurrent == 1
    Call makeCurrentScreenSaver
  ${EndIf}
SectionEnd

; Puts back the screen saver that was current before, if Lumvane still is
; (another one chosen since stays); with no record of one, leaves none.
Function un.restoreScreenSaver
  Call un.readCurrentScreenSaver
  Call un.isInstalledSaver
  ${If} $R9 == 1
    ReadRegStr $R1 HKCU "${RECORD_KEY}" "PreviousScreenSaver"
    Call un.writeCurrentScreenSaver
  ${EndIf}
  DeleteRegKey HKCU "${RECORD_KEY}"
FunctionEnd

Section "Uninstall"
  Call un.restoreScreenSaver
  Delete "$INSTDIR\lumvane.scr"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "SoftwareGlide"
  ${If} $0 == 1
    Delete "$INSTDIR\glide2x.dll"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
