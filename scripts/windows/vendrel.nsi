; The Vendrel installer: vendrel.exe and sqlite3.dll in Program Files, a Start-menu entry,
; and an uninstaller that Windows lists under installed programs.
; makensis -DSTAGE=<folder with the files> -DICON=<vendrel.ico> -DOUTFILE=<setup.exe> vendrel.nsi
; A 64-bit installer, as vendrel.exe is a 64-bit program.
Target amd64-unicode
!include "MUI2.nsh"

Name "Vendrel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vendrel"
InstallDirRegKey HKLM "Software\Vendrel" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrel"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vendrel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vendrel"
  SetOutPath "$INSTDIR"
  File "${STAGE}\vendrel.exe"
  File "${STAGE}\sqlite3.dll"
  File "${STAGE}\README.txt"
  File "${STAGE}\OpenSSL-LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Vendrel"
  CreateShortcut "$SMPROGRAMS\Vendrel\Vendrel.lnk" "$INSTDIR\vendrel.exe"
  CreateShortcut "$SMPROGRAMS\Vendrel\Uninstall Vendrel.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "Software\Vendrel" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vendrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vendrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vendrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The database in the users' Documents folders is theirs and stays.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vendrel\Vendrel.lnk"
  Delete "$SMPROGRAMS\Vendrel\Uninstall Vendrel.lnk"
  RMDir "$SMPROGRAMS\Vendrel"
  Delete "$INSTDIR\vendrel.exe"
  Delete "$INSTDIR\sqlite3.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\OpenSSL-LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Vendrel"
SectionEnd
