; VOR-TIKA Monitor: the per-machine setup program, in French.
;
; Built by scripts/release:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DEXE=<stripped VORTikaMonitor.exe> -DOUTFILE=<setup.exe>
;            installer/VORTikaMonitor.nsi
;
; Silent use: setup.exe /S [/AUTOSTART=0] [/D=C:\other folder]  (/D= last and unquoted)
;             uninstall.exe /S
;
; A running monitor is ended with "VORTikaMonitor.exe /quit" (its tray menu's Quitter: it closes the
; connection, logs its end and saves its settings) before its files are replaced or removed, and is
; started again after an upgrade. The data folder (logs, settings) belongs to the operator: it is
; made writable by the Users group and kept at uninstall.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!ifndef VERSION
  !error "makensis -DVERSION=x.y.z -DEXE=path -DOUTFILE=path"
!endif
!ifndef EXE
  !error "makensis -DVERSION=x.y.z -DEXE=path -DOUTFILE=path"
!endif
!ifndef OUTFILE
  !error "makensis -DVERSION=x.y.z -DEXE=path -DOUTFILE=path"
!endif

!define APP_NAME "VOR-TIKA Monitor"
!define APP_EXE "VORTikaMonitor.exe"
!define PUBLISHER "VORTIKA"
; The monitor's main window (ui/shell_ids.h): the class is a common one, the title makes it ours.
!define MAIN_CLASS "TForm1"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VORTikaMonitor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Under $APPDATA once SetShellVarContext all: C:\ProgramData\VORTIKA.
!define DATA_FOLDER "VORTIKA"
; The Users group, by its SID so that it works on every language of Windows.
!define USERS_SID "*S-1-5-32-545"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include nsDialogs.nsh

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP_NAME}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${APP_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"

Var Autostart
Var AutostartBox
Var WasRunning

!define MUI_ICON "${__FILEDIR__}/../windows/VORTikaMonitor.ico"
!define MUI_UNICON "${__FILEDIR__}/../windows/VORTikaMonitor.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom AutostartPage AutostartPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Lancer ${APP_NAME} maintenant"
!define MUI_FINISHPAGE_RUN_FUNCTION StartMonitor
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de ${APP_NAME}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_FRENCH} "LegalCopyright" "${PUBLISHER}"

; ---- the running monitor -------------------------------------------------------------------------

; Ends the session's running monitor through the installed program's /quit, which returns once the
; monitor's process has ended (at most about 10 s); then waits as long again for its window to go, in
; case it was still busy. Sets $WasRunning to 1 when a monitor was ended.
!macro StopRunningMonitor
  StrCpy $WasRunning 0
  FindWindow $0 "${MAIN_CLASS}" "${APP_NAME}"
  ${If} $0 <> 0
  ${AndIf} ${FileExists} "$INSTDIR\${APP_EXE}"
    DetailPrint "Fermeture de ${APP_NAME} en cours d'exécution..."
    ExecWait '"$INSTDIR\${APP_EXE}" /quit'
    StrCpy $WasRunning 1
    StrCpy $1 0
    ${Do}
      FindWindow $0 "${MAIN_CLASS}" "${APP_NAME}"
      ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
      ${IfThen} $1 >= 100 ${|} ${ExitDo} ${|}
      Sleep 100
      IntOp $1 $1 + 1
    ${Loop}
  ${EndIf}
!macroend

Function StartMonitor
  Exec '"$INSTDIR\${APP_EXE}"'
FunctionEnd

; ---- installer -----------------------------------------------------------------------------------

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ; Windows 7 SP1 at least. Wine reports Windows 10 and passes.
  StrCpy $0 0
  ${IfNot} ${AtLeastWin7}
    StrCpy $0 1
  ${ElseIf} ${IsWin7}
  ${AndIfNot} ${AtLeastServicePack} 1
    StrCpy $0 1
  ${EndIf}
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONSTOP "${APP_NAME} nécessite Windows 7 Service Pack 1 ou une version plus récente (64 bits)." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
  ; Start at logon unless told otherwise (silent: /AUTOSTART=0).
  StrCpy $Autostart 1
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART=" $R1
  ${IfNot} ${Errors}
  ${AndIf} $R1 == "0"
    StrCpy $Autostart 0
  ${EndIf}
FunctionEnd

Function AutostartPage
  !insertmacro MUI_HEADER_TEXT "Démarrage automatique" "Choisissez si ${APP_NAME} démarre avec Windows."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 36u "${APP_NAME} reste dans la zone de notification et surveille le VOR-TIKA tant qu'il est ouvert. Il peut démarrer à chaque ouverture de session, pour tous les utilisateurs de cet ordinateur."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "Démarrer ${APP_NAME} à l'ouverture de session Windows"
  Pop $AutostartBox
  ${If} $Autostart = 1
    ${NSD_Check} $AutostartBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function AutostartPageLeave
  ${NSD_GetState} $AutostartBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Autostart 1
  ${Else}
    StrCpy $Autostart 0
  ${EndIf}
FunctionEnd

Section "${APP_NAME}" SecMain
  SectionIn RO
  !insertmacro StopRunningMonitor

  SetOutPath "$INSTDIR"
  File "/oname=${APP_EXE}" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\${APP_EXE}" "" "$INSTDIR\${APP_EXE}" 0

  ; The data folder: the monitor of any user writes its logs and settings there.
  CreateDirectory "$APPDATA\${DATA_FOLDER}\logs"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$APPDATA\${DATA_FOLDER}" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Droits du dossier $APPDATA\${DATA_FOLDER} non modifiés ($0)."
  ${EndIf}

  ${If} $Autostart = 1
    WriteRegStr HKLM "${RUN_KEY}" "${APP_NAME}" '"$INSTDIR\${APP_EXE}"'
  ${Else}
    DeleteRegValue HKLM "${RUN_KEY}" "${APP_NAME}"
  ${EndIf}

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\${APP_EXE}",0'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"

  ; An upgrade brings back the monitor it ended.
  ${If} $WasRunning = 1
    DetailPrint "Redémarrage de ${APP_NAME}..."
    Call StartMonitor
  ${EndIf}
SectionEnd

; ---- uninstaller ---------------------------------------------------------------------------------

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Uninstall"
  !insertmacro StopRunningMonitor

  Delete "$INSTDIR\${APP_EXE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${APP_NAME}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; $APPDATA\VORTIKA (logs and settings) stays.
SectionEnd
