; VOR-TIKA Monitor: the per-machine setup program, in French.
;
; Built by scripts/release:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DEXE=<stripped VORTikaMonitor.exe> -DOUTFILE=<setup.exe>
;            installer/VORTikaMonitor.nsi
;
; Silent use: setup.exe /S [/AUTOSTART=0] [/D=C:\other folder]  (/D= last and unquoted)
;             uninstall.exe /S
;
; Every running monitor, in every session and on every desktop, is asked to end (as its tray menu's
; Quitter does: it closes the connection, logs its end and saves its settings) through a named event
; (windows/setup_requests.h), since a deployment tool runs this program as SYSTEM in session 0 where
; FindWindow sees no user's window. A program file still in use is renamed aside and deleted later.
; After an upgrade each ended monitor starts the new file itself, with its own user's rights: nothing
; this program starts runs with its administrator rights. The data folder (logs, settings) belongs to
; the operator: Users may work inside it but not replace it; it is kept at uninstall. An install
; folder outside Program Files gets Program Files' rights before anything is written to it.

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
; The requests to every running monitor (windows/setup_requests.cpp), in the Global\ namespace, or
; Local\ where a monitor could not use Global\; and the window message of /quit
; (windows/single_instance.cpp), for a monitor older than these events.
!define QUIT_EVENT "VORTikaMonitor.Quitter-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41"
!define REPLACED_EVENT "VORTikaMonitor.Remplace-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41"
!define QUIT_MESSAGE "VORTikaMonitor.Quitter-3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VORTikaMonitor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's source in the Application log: its messages are the program's own message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\VOR-TIKA Monitor"
; Under $APPDATA once SetShellVarContext all: C:\ProgramData\VORTIKA.
!define DATA_FOLDER "VORTIKA"
; Groups by their SIDs, so that it works on every language of Windows.
!define USERS_SID "*S-1-5-32-545"
!define ADMINS_SID "*S-1-5-32-544"
!define SYSTEM_SID "*S-1-5-18"
!define TRUSTED_INSTALLER_SID "*S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"

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
Var StartAfter
Var OldExe

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

; ---- the running monitors ------------------------------------------------------------------------

; Sets the event NAME (in both namespaces) where a monitor holds it; $0 := 1 when one did.
!macro SetMonitorsEvent NAME
  !insertmacro SetMonitorsEventIn "Global\${NAME}"
  !insertmacro SetMonitorsEventIn "Local\${NAME}"
!macroend
!macro SetMonitorsEventIn FULLNAME
  ; EVENT_MODIFY_STATE: what the event's rights give SYSTEM and Administrators.
  System::Call 'kernel32::OpenEventW(i 0x2, i 0, w "${FULLNAME}") p.r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::SetEvent(p r1)'
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 1
  ${EndIf}
!macroend
; $3 := 1 while a monitor still holds the event FULLNAME.
!macro MonitorsHoldEvent FULLNAME
  System::Call 'kernel32::OpenEventW(i 0x2, i 0, w "${FULLNAME}") p.r1'
  ${If} $1 P<> 0
    !ifdef RESET_LEFT_EVENT
      System::Call 'kernel32::ResetEvent(p r1)'
    !endif
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $3 1
  ${EndIf}
!macroend

; Asks every running monitor to end, as its tray menu's Quitter does, and waits (at most 15 s) until
; each has ended its shutdown: the "Quitter" event is gone once no monitor holds it. A monitor that has
; not ended by then keeps the request to itself: the event is cleared, so that no monitor starting
; later ends at once. A monitor of this session older than the events is reached through its window,
; and started again at the end. Sets $WasRunning and $StartAfter.
!macro EndRunningMonitors
  StrCpy $WasRunning 0
  StrCpy $StartAfter 0
  StrCpy $0 0
  !insertmacro SetMonitorsEvent "${QUIT_EVENT}"
  ${If} $0 = 1
    StrCpy $WasRunning 1
    DetailPrint "Fermeture de ${APP_NAME} en cours d'exécution..."
    StrCpy $2 0
    ${Do}
      StrCpy $3 0
      !insertmacro MonitorsHoldEvent "Global\${QUIT_EVENT}"
      !insertmacro MonitorsHoldEvent "Local\${QUIT_EVENT}"
      ${IfThen} $3 = 0 ${|} ${ExitDo} ${|}
      ${IfThen} $2 >= 150 ${|} ${ExitDo} ${|}
      Sleep 100
      IntOp $2 $2 + 1
    ${Loop}
    !define RESET_LEFT_EVENT
    !insertmacro MonitorsHoldEvent "Global\${QUIT_EVENT}"
    !insertmacro MonitorsHoldEvent "Local\${QUIT_EVENT}"
    !undef RESET_LEFT_EVENT
  ${EndIf}
  FindWindow $1 "${MAIN_CLASS}" "${APP_NAME}"
  ${If} $1 <> 0
    ${If} $WasRunning = 0
      DetailPrint "Fermeture de ${APP_NAME} en cours d'exécution..."
    ${EndIf}
    StrCpy $WasRunning 1
    StrCpy $StartAfter 1
    System::Call 'user32::RegisterWindowMessageW(w "${QUIT_MESSAGE}") i.r2'
    System::Call 'user32::PostMessageW(p r1, i r2, p 0, p 0)'
    StrCpy $2 0
    ${Do}
      FindWindow $1 "${MAIN_CLASS}" "${APP_NAME}"
      ${IfThen} $1 = 0 ${|} ${ExitDo} ${|}
      ${IfThen} $2 >= 100 ${|} ${ExitDo} ${|}
      Sleep 100
      IntOp $2 $2 + 1
    ${Loop}
  ${EndIf}
!macroend

; Each monitor that ended waits for this before it starts the file at its path again (if there is one).
!macro ReleaseEndedMonitors
  StrCpy $0 0
  !insertmacro SetMonitorsEvent "${REPLACED_EVENT}"
!macroend

; The program file, when a monitor that did not end still maps it: it cannot be overwritten or deleted
; then, but it can be renamed, so that the new file takes its name. $OldExe := the name it got, or "".
!macro MoveProgramAside
  StrCpy $OldExe ""
  ; What an earlier install or uninstall could not delete.
  Delete "$INSTDIR\${APP_EXE}.*.old"
  ${If} ${FileExists} "$INSTDIR\${APP_EXE}"
    Delete "$INSTDIR\${APP_EXE}"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${APP_EXE}"
    System::Call 'kernel32::GetTickCount() i.r1'
    IntFmt $1 "%08X" $1
    ClearErrors
    Rename "$INSTDIR\${APP_EXE}" "$INSTDIR\${APP_EXE}.$1.old"
    ${IfNot} ${Errors}
      StrCpy $OldExe "$INSTDIR\${APP_EXE}.$1.old"
      DetailPrint "$INSTDIR\${APP_EXE} est encore utilisé : renommé en $OldExe."
    ${EndIf}
  ${EndIf}
!macroend

; The renamed file, once the monitors that mapped it have gone (at most 5 s); else at the next
; install, or at reboot.
!macro DeleteOldProgram
  ${If} $OldExe != ""
    StrCpy $2 0
    ${Do}
      Delete "$OldExe"
      ${IfNotThen} ${FileExists} "$OldExe" ${|} ${ExitDo} ${|}
      ${If} $2 >= 50
        Delete /REBOOTOK "$OldExe"
        ${ExitDo}
      ${EndIf}
      Sleep 100
      IntOp $2 $2 + 1
    ${Loop}
  ${EndIf}
!macroend

; Through Explorer, so that the monitor runs as the desktop's user and not with this program's
; administrator rights (Explorer hands the start to the session's shell).
Function StartMonitor
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${APP_EXE}"'
FunctionEnd

; ---- folder rights -------------------------------------------------------------------------------

; $1 := the attributes of the path itself (a link's own, not its target's), -1 when nothing is there.
!macro PathAttributes PATH
  System::Call 'kernel32::GetFileAttributesW(w "${PATH}") i.r1'
!macroend

; $7 := 1 when the folder PATH is owned by SYSTEM, by Administrators, or by the owner this program
; gives what it creates ($PLUGINSDIR: Administrators on Windows, unless a policy names the creating
; administrator; the Wine user under Wine).
!macro OwnedByAdministrators PATH
  StrCpy $7 0
  System::Call 'advapi32::GetNamedSecurityInfoW(w "${PATH}", i 1, i 1, *p .r4, p 0, p 0, p 0, *p .r5) i.r6'
  ${If} $6 = 0
    System::Call 'advapi32::IsWellKnownSid(p r4, i 22) i.r6'
    ${IfThen} $6 <> 0 ${|} StrCpy $7 1 ${|}
    System::Call 'advapi32::IsWellKnownSid(p r4, i 26) i.r6'
    ${IfThen} $6 <> 0 ${|} StrCpy $7 1 ${|}
    System::Call 'advapi32::GetNamedSecurityInfoW(w "$PLUGINSDIR", i 1, i 1, *p .r8, p 0, p 0, p 0, *p .r9) i.r6'
    ${If} $6 = 0
      System::Call 'advapi32::EqualSid(p r4, p r8) i.r6'
      ${IfThen} $6 <> 0 ${|} StrCpy $7 1 ${|}
      System::Call 'kernel32::LocalFree(p r9)'
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r5)'
  ${EndIf}
!macroend

; The data folder is shared by every user, and Users may create folders in ProgramData: a folder put
; there before us, or a link in its place, would let a user steer what this program creates and the
; rights it grants (icacls follows a link unless told /L). Such a folder is moved aside, a new one is
; made, and its rights are set here: SYSTEM and Administrators full control; Users list, create,
; write, append and delete inside it ((OI)(CI)(IO)M), but on the folder itself only list, traverse,
; read and create (RX,WD,AD): no DELETE, so that no user can remove it and put a link there. Wine
; enforces no rights and its icacls does nothing: only the moving aside shows there.
Function PrepareDataFolder
  StrCpy $R0 "$APPDATA\${DATA_FOLDER}"
  InitPluginsDir
  !insertmacro PathAttributes "$R0"
  StrCpy $R1 ""
  ${If} $1 <> -1
    IntOp $2 $1 & 0x400
    IntOp $3 $1 & 0x10
    ${If} $2 <> 0
      StrCpy $R1 "est un lien"
    ${ElseIf} $3 = 0
      StrCpy $R1 "n'est pas un dossier"
    ${Else}
      !insertmacro OwnedByAdministrators "$R0"
      ${If} $7 = 0
        StrCpy $R1 "n'appartient ni aux Administrateurs ni à SYSTEM"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $R1 != ""
    System::Call 'kernel32::GetTickCount() i.r1'
    IntFmt $1 "%08X" $1
    ClearErrors
    Rename "$R0" "$R0.$1.ecarte"
    ${If} ${Errors}
      DetailPrint "Le dossier de données $R0 $R1 et n'a pas pu être mis de côté : il n'est pas modifié."
      Return
    ${EndIf}
    DetailPrint "Le dossier de données $R0 $R1 : mis de côté sous $R0.$1.ecarte, un nouveau dossier est créé."
  ${EndIf}
  CreateDirectory "$R0"
  ; A link put in its place meanwhile gets nothing.
  !insertmacro PathAttributes "$R0"
  IntOp $2 $1 & 0x400
  ${If} $1 = -1
  ${OrIf} $2 <> 0
    DetailPrint "Le dossier de données $R0 n'a pas pu être créé : ses droits ne sont pas modifiés."
    Return
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /reset /L /Q'
  Pop $0
  ${If} $0 = 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${ADMINS_SID}:(OI)(CI)F ${USERS_SID}:(OI)(CI)(IO)M /L /Q'
    Pop $0
  ${EndIf}
  ${If} $0 = 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /grant ${USERS_SID}:(RX,WD,AD) /L /Q'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    DetailPrint "Droits du dossier $R0 non modifiés ($0)."
  ${EndIf}
  CreateDirectory "$R0\logs"
FunctionEnd

; Program Files lets no user write, while a folder made elsewhere with /D= inherits its parent's rights,
; often write access for every authenticated user; the Run value starts its program in every session
; and an administrator runs its uninstaller. Outside Program Files the folder gets Program Files'
; rights before anything is written to it (SYSTEM, Administrators and TrustedInstaller full control,
; Users read and execute, nothing inherited from the parent, Administrators as owner, what it already
; holds reset to inherit them), or nothing is installed. Wine enforces no rights and its icacls does
; nothing.
Function SecureInstallFolder
  GetFullPathName $R0 "$INSTDIR"
  ${IfThen} $R0 == "" ${|} StrCpy $R0 "$INSTDIR" ${|}
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $2 "$R0" $1
  ${IfThen} $2 == "$PROGRAMFILES64\" ${|} Return ${|}
  StrLen $1 "$PROGRAMFILES32\"
  StrCpy $2 "$R0" $1
  ${IfThen} $2 == "$PROGRAMFILES32\" ${|} Return ${|}
  !insertmacro PathAttributes "$R0"
  IntOp $2 $1 & 0x400
  ${If} $1 <> -1
  ${AndIf} $2 <> 0
    MessageBox MB_OK|MB_ICONSTOP "Le dossier d'installation $R0 est un lien : choisissez-en un autre." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  CreateDirectory "$R0"
  DetailPrint "Dossier d'installation hors de Program Files : il reçoit les droits de Program Files."
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /setowner ${ADMINS_SID} /T /C /L /Q'
  Pop $0
  ${If} $0 = 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /reset /T /C /L /Q'
    Pop $0
  ${EndIf}
  ${If} $0 = 0
    nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$R0" /inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${ADMINS_SID}:(OI)(CI)F ${TRUSTED_INSTALLER_SID}:(OI)(CI)F ${USERS_SID}:(OI)(CI)RX /L /Q'
    Pop $0
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Les droits du dossier d'installation $R0 n'ont pas pu être fixés ($0) : rien n'est installé." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
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
  Call SecureInstallFolder
  !insertmacro EndRunningMonitors
  Call PrepareDataFolder

  SetOutPath "$INSTDIR"
  !insertmacro MoveProgramAside
  ClearErrors
  File "/oname=${APP_EXE}" "${EXE}"
  ${If} ${Errors}
    ; The installed version stays what it was: the ended monitors start it again.
    !insertmacro ReleaseEndedMonitors
    MessageBox MB_OK|MB_ICONSTOP "Impossible d'écrire $INSTDIR\${APP_EXE}." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; An upgrade brings back the monitors it ended: each starts the new file itself.
  !insertmacro ReleaseEndedMonitors
  ${If} $WasRunning = 1
    DetailPrint "Redémarrage de ${APP_NAME}..."
  ${EndIf}
  ${If} $StartAfter = 1
    Call StartMonitor
  ${EndIf}
  !insertmacro DeleteOldProgram

  CreateShortCut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\${APP_EXE}" "" "$INSTDIR\${APP_EXE}" 0

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
  ; Error, warning and information.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\${APP_EXE}"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
SectionEnd

; ---- uninstaller ---------------------------------------------------------------------------------

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Uninstall"
  !insertmacro EndRunningMonitors

  !insertmacro MoveProgramAside
  ; Gone from its name: the ended monitors find nothing to start again.
  ${IfNot} ${FileExists} "$INSTDIR\${APP_EXE}"
    !insertmacro ReleaseEndedMonitors
  ${EndIf}
  !insertmacro DeleteOldProgram
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${APP_NAME}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ; $APPDATA\VORTIKA (logs and settings) stays.
SectionEnd
