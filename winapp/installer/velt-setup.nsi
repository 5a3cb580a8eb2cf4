; The installer of Velt for Windows: the program and the command-line tool,
; a Start menu entry and an uninstaller. makensis gets the version, the
; folder of the two programs, the output file and, for a 64-bit build, X64.
; Silent with /S (and /D=folder for another folder).
!ifdef X64
  ; A 64-bit installer for the 64-bit programs: it needs no 32-bit layer.
  Target amd64-unicode
!else
  Unicode true
!endif
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!ifndef VERSION | PROGRAMS | OUTFILE
  !error "makensis needs -DVERSION=, -DPROGRAMS= and -DOUTFILE="
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velt"

Name "Velt ${VERSION}"
OutFile "${OUTFILE}"
; Program Files and the uninstall entry are the machine's.
RequestExecutionLevel admin
!ifdef X64
  InstallDir "$PROGRAMFILES64\Velt"
!else
  InstallDir "$PROGRAMFILES\Velt"
!endif
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1045 "ProductName" "Velt"
VIAddVersionKey /LANG=1045 "FileDescription" "Velt - instalator"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "Velt"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Function .onInit
  !ifdef X64
    SetRegView 64
  !endif
  SetShellVarContext all
FunctionEnd

Function un.onInit
  !ifdef X64
    SetRegView 64
  !endif
  SetShellVarContext all
FunctionEnd

Section "Velt"
  SetOutPath "$INSTDIR"
  File "${PROGRAMS}\velt.exe"
  File "${PROGRAMS}\velt-cli.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Velt"
  CreateShortcut "$SMPROGRAMS\Velt\Velt.lnk" "$INSTDIR\velt.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Velt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velt.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put in place. The stored port settings stay, so
; that a new version finds them.
Section "Uninstall"
  Delete "$INSTDIR\velt.exe"
  Delete "$INSTDIR\velt-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Velt\Velt.lnk"
  RMDir "$SMPROGRAMS\Velt"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
