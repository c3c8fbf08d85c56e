; The Windows installer: the programs into Program Files (vestrel.exe for consoles and scripts,
; vestrelw.exe for the Start menu, vestrel-fleet.exe), a Start-menu entry, an uninstaller
; registered with Windows. Built by scripts/build-windows with Debian's makensis:
;   makensis -DVERSION=1.0.0 -DPROGRAMS=dist/windows -DNOTICES=NOTICES.txt -DICON=vestrel.ico -DOUTFILE=setup.exe vestrel.nsi
; "/S" installs and uninstalls silently. A removal asks whether to delete the user's stored TCP/IP
; hosts and Bluetooth devices (HKCU\Software\Telmora\Vestrel: only the removing user's); a silent
; one keeps them unless "/REMOVESETTINGS" is given. With -DSIGN=scripts/sign-windows the
; uninstaller is signed as it is written (the installer itself is signed afterwards).
; A 64-bit installer for a 64-bit program (it also runs under a Wine without 32-bit support).
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!insertmacro un.GetParameters
!insertmacro un.GetOptions

Name "Vestrel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vestrel"
InstallDirRegKey HKLM "Software\Telmora\Vestrel" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Vestrel"
VIAddVersionKey "CompanyName" "Telmora"
VIAddVersionKey "FileDescription" "Vestrel installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 Telmora"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vestrel"
!define SETTINGS_KEY "Software\Telmora\Vestrel"
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Vestrel needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Vestrel"
  SetOutPath "$INSTDIR"
  File "/oname=vestrel.exe" "${PROGRAMS}\vestrel.exe"
  File "/oname=vestrelw.exe" "${PROGRAMS}\vestrelw.exe"
  File "/oname=vestrel-fleet.exe" "${PROGRAMS}\vestrel-fleet.exe"
  File "/oname=NOTICES.txt" "${NOTICES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Vestrel"
  ; The shortcut starts in the user's own folder, left unexpanded so that each user gets theirs
  ; (a relative /log lands where the user may write, not in Program Files).
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "$SMPROGRAMS\Vestrel\Vestrel.lnk" "$INSTDIR\vestrelw.exe"
  WriteRegStr HKLM "Software\Telmora\Vestrel" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vestrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Telmora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vestrelw.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vestrel\Vestrel.lnk"
  RMDir "$SMPROGRAMS\Vestrel"
  Delete "$INSTDIR\vestrel.exe"
  Delete "$INSTDIR\vestrelw.exe"
  Delete "$INSTDIR\vestrel-fleet.exe"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKLM "Software\Telmora\Vestrel" "InstallDir"
  ; The removing user's stored hosts and devices, when asked (other users' are never touched).
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION "Also delete your stored TCP/IP hosts and Bluetooth devices?$\r$\n(Other users' stay.)" /SD IDNO IDNO keepSettings
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Telmora"
  keepSettings:
  DeleteRegKey /ifempty HKLM "Software\Telmora\Vestrel"
  DeleteRegKey /ifempty HKLM "Software\Telmora"
SectionEnd
