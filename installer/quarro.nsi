; The Quarro installer, one script for both architectures. makensis defines:
;   ARCH       x64 or x86 (the build the programs come from)
;   BINDIR     the build's bin/ folder: every program and tab module a customer installs
;   VERSION    the product version, four numbers (1.0.0.0)
;   YEAR       the copyright year
;   OUTFILE    the installer to write
; Installs into Program Files\Mirelta\Quarro, registers the two services (Watchpost, the watch
; service, and Spindle, the S.M.A.R.T. pipe server), writes the values the programs read, and adds
; Start-menu shortcuts and an "Add or Remove Programs" entry. /S installs silently, /D= names the
; folder. The uninstaller keeps the service's Log folder and history values unless asked.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT "Quarro"
!define COMPANY "Mirelta Corporation"
!define APP_KEY "Software\Mirelta\Quarro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarro"
!define WATCH_SERVICE "Watchpost"
!define PIPE_SERVICE "Spindle"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
OutFile "${OUTFILE}"
BrandingText "${COMPANY}"
!if "${ARCH}" == "x64"
  InstallDir "$PROGRAMFILES64\Mirelta\Quarro"
!else
  InstallDir "$PROGRAMFILES\Mirelta\Quarro"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${YEAR} ${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; ---- shared steps ---------------------------------------------------------------------------
; The uninstall entry goes in the view of the installed programs' own bitness (64-bit for the
; 64-bit build). The product's values ("Version", "CopyrightYear", the service's history) are
; read by every program in the 32-bit view, as a 32-bit program reads them on 64-bit Windows.
!macro UseProgramsView
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
  SetShellVarContext all
!macroend
!macro UseProductValuesView
  SetRegView 32
!macroend

; Stops a service and waits for it ("net stop" returns once the service has stopped); nothing
; when it is not installed or not running.
!macro StopService NAME
  nsExec::ExecToLog '"$SYSDIR\net.exe" stop ${NAME}'
  Pop $0
!macroend

; Refuses to go on where Quarro cannot run, politely, and without administrator rights.
!macro CheckSystem
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "This edition of ${PRODUCT} needs a 64-bit Windows. Please use the 32-bit setup program." /SD IDOK
      Abort
    ${EndIf}
  !endif
  ${IfNot} ${AtLeastWinXP}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs Windows XP or later." /SD IDOK
    Abort
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing ${PRODUCT} needs administrator rights. Please start the setup program as an administrator." /SD IDOK
    Abort
  ${EndIf}
!macroend

; ---- install ----------------------------------------------------------------------------------
Function .onInit
  !insertmacro CheckSystem
  !insertmacro UseProgramsView
FunctionEnd

; Registers a service, or brings an existing registration of an earlier Quarro up to date.
!macro RegisterService NAME DISPLAY IMAGE DESCRIPTION
  nsExec::ExecToLog '"$SYSDIR\sc.exe" create ${NAME} binPath= "\"$INSTDIR\${IMAGE}\"" type= own start= auto DisplayName= "${DISPLAY}"'
  Pop $0
  ${If} $0 != 0
    nsExec::ExecToLog '"$SYSDIR\sc.exe" config ${NAME} binPath= "\"$INSTDIR\${IMAGE}\"" type= own start= auto DisplayName= "${DISPLAY}"'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    DetailPrint "The service ${NAME} could not be registered ($0)."
    SetErrors
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\sc.exe" description ${NAME} "${DESCRIPTION}"'
  Pop $0
  ; Restart after the first two failures, a minute apart; the count starts again after a day.
  nsExec::ExecToLog '"$SYSDIR\sc.exe" failure ${NAME} reset= 86400 actions= restart/60000/restart/60000//'
  Pop $0
!macroend

Section "Quarro"
  ; An earlier Quarro's services hold their programs open: stop them before replacing files.
  !insertmacro StopService ${WATCH_SERVICE}
  !insertmacro StopService ${PIPE_SERVICE}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${BINDIR}\*.exe"
  File "${BINDIR}\*.dll"

  !insertmacro UseProductValuesView
  WriteRegStr HKLM "${APP_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${APP_KEY}" "CopyrightYear" "${YEAR}"
  !insertmacro UseProgramsView

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Almanac.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Almanac.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Glance.lnk" "$INSTDIR\Glance.exe"

  !insertmacro RegisterService ${WATCH_SERVICE} "Quarro Watchpost" "Watchpost.exe" \
      "Keeps the history of the hard disk's S.M.A.R.T. data and writes it to the Log folder."
  !insertmacro RegisterService ${PIPE_SERVICE} "Quarro Spindle" "Spindle.exe" \
      "Reads the hard disk's S.M.A.R.T. data for the Quarro viewer."

  ; The utility sets up its values once after installation; it always ends silently.
  ExecWait '"$INSTDIR\Toolbench.exe"'

  nsExec::ExecToLog '"$SYSDIR\sc.exe" start ${PIPE_SERVICE}'
  Pop $0
  nsExec::ExecToLog '"$SYSDIR\sc.exe" start ${WATCH_SERVICE}'
  Pop $0
SectionEnd

; ---- uninstall --------------------------------------------------------------------------------
Var RemoveHistory

Function un.onInit
  !insertmacro CheckSystem
  !insertmacro UseProgramsView
  StrCpy $RemoveHistory 0
  ; The service's logs and history values are the user's data: kept unless the user says so
  ; (a silent uninstall keeps them).
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Also remove the hard-disk history that Quarro has recorded (the Log folder and its values)?" \
      /SD IDNO IDNO keep
  StrCpy $RemoveHistory 1
  keep:
FunctionEnd

; Stops and deletes a service; nothing when it is not installed.
!macro un.RemoveService NAME
  !insertmacro StopService ${NAME}
  nsExec::ExecToLog '"$SYSDIR\sc.exe" delete ${NAME}'
  Pop $0
!macroend

Section "Uninstall"
  !insertmacro un.RemoveService ${WATCH_SERVICE}
  !insertmacro un.RemoveService ${PIPE_SERVICE}

  ; Only what the installer put there; anything else in the folder stays.
  Delete "$INSTDIR\Almanac.exe"
  Delete "$INSTDIR\Facet0?.dll"
  Delete "$INSTDIR\Watchpost.exe"
  Delete "$INSTDIR\Spindle.exe"
  Delete "$INSTDIR\Toolbench.exe"
  Delete "$INSTDIR\Glance.exe"
  Delete "$INSTDIR\Uninstall.exe"
  !insertmacro UseProductValuesView
  ${If} $RemoveHistory == 1
    RMDir /r "$INSTDIR\Log"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif000"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif001"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif002"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif003"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif004"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif005"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif006"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif007"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif008"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif009"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif010"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif011"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif012"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif013"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif014"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif015"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif016"
    DeleteRegValue HKLM "${APP_KEY}" "HddNotif017"
  ${EndIf}
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Glance.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegValue HKLM "${APP_KEY}" "Version"
  DeleteRegValue HKLM "${APP_KEY}" "CopyrightYear"
  DeleteRegKey /ifempty HKLM "${APP_KEY}"
  !insertmacro UseProgramsView
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
