; The Vendrel installer: vendrel.exe, its console twin vendrel.com and sqlite3.dll in Program
; Files, a Start-menu entry, the licence shown first, the server as the service "Vendrel server" if it is ticked (it is not
; unless the service is there already), and an uninstaller that Windows lists under installed
; programs, which stops and removes the service.
; makensis -DSTAGE=<folder with the files> -DICON=<vendrel.ico> -DOUTFILE=<setup.exe> vendrel.nsi
; A silent install (/S) installs the service with /SERVICE, or /SERVICE=PORT or
; /SERVICE=ADDRESS:PORT for another port than 450.
; A 64-bit installer, as vendrel.exe is a 64-bit program.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

Name "Vendrel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vendrel"
InstallDirRegKey HKLM "Software\Vendrel" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Vendrel, free software under the MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendrel"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\vendrel-server"

Var ServiceWords   ; what follows "vendrel.exe service install"
Var ServiceWasThere

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vendrel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vendrel" program
  SectionIn RO
  ; A running service holds vendrel.exe; it is started again below when it stays.
  ${If} $ServiceWasThere == 1
    nsExec::Exec '"$SYSDIR\net.exe" stop vendrel-server'
    Pop $0
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "${STAGE}\vendrel.exe"
  File "${STAGE}\vendrel.com"
  File "${STAGE}\sqlite3.dll"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\OpenSSL-LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Vendrel"
  CreateShortcut "$SMPROGRAMS\Vendrel\Vendrel.lnk" "$INSTDIR\vendrel.exe"
  CreateShortcut "$SMPROGRAMS\Vendrel\Uninstall Vendrel.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "Software\Vendrel" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vendrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vendrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Vendrel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A service that was there keeps its settings (its port among them) and runs the new program.
Section /o "Install the server as a service" service
  ${If} $ServiceWasThere == 1
    nsExec::Exec '"$SYSDIR\net.exe" start vendrel-server'
    Pop $0
  ${Else}
    nsExec::ExecToStack '"$INSTDIR\vendrel.exe" service install $ServiceWords'
    Pop $0
    Pop $1
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "The server could not be installed as a service:$\r$\n$1" /SD IDOK
      SetErrorLevel 1
    ${EndIf}
  ${EndIf}
SectionEnd

; Unticked although the service was there: it goes.
Section "-no service"
  ${If} $ServiceWasThere == 1
  ${AndIfNot} ${SectionIsSelected} ${service}
    nsExec::Exec '"$INSTDIR\vendrel.exe" service remove'
    Pop $0
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${program} "The program, its database library and the Start-menu entry."
  !insertmacro MUI_DESCRIPTION_TEXT ${service} "Shares the database in ProgramData\Vendrel with the clients of the network on port 450, from every start of Windows, also while nobody is logged in (the service $\"Vendrel server$\")."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  StrCpy $ServiceWasThere 0
  ClearErrors
  ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    StrCpy $ServiceWasThere 1
    !insertmacro SelectSection ${service}
  ${EndIf}
  StrCpy $ServiceWords ""
  ${GetOptions} $CMDLINE "/SERVICE" $0
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${service}
    StrCpy $1 $0 1
    ${If} $1 == "="
      StrCpy $ServiceWords $0 "" 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; The database in ProgramData\Vendrel and in the users' Documents folders is theirs and stays.
Section "Uninstall"
  ClearErrors
  ReadRegStr $0 HKLM "${SERVICE_KEY}" "ImagePath"
  ${IfNot} ${Errors}
    nsExec::Exec '"$INSTDIR\vendrel.exe" service remove'
    Pop $0
  ${EndIf}
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vendrel\Vendrel.lnk"
  Delete "$SMPROGRAMS\Vendrel\Uninstall Vendrel.lnk"
  RMDir "$SMPROGRAMS\Vendrel"
  Delete "$INSTDIR\vendrel.exe"
  Delete "$INSTDIR\vendrel.com"
  Delete "$INSTDIR\sqlite3.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\OpenSSL-LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Vendrel"
SectionEnd
