; VOR-TIKA Monitor: the per-machine setup program, in French.
;
; Built by scripts/release:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DEXE=<stripped VORTikaMonitor.exe> -DOUTFILE=<setup.exe>
;            -DNAMES=<VORTikaMonitor.names.nsh of the same build> [-DSIGNER=<scripts/release>]
;            installer/VORTikaMonitor.nsi
;
; Silent use: setup.exe /S [/AUTOSTART=0] [/D=C:\other folder]  (/D= last and unquoted)
;             "<folder>\uninstall.exe" /S _?=<folder>  (returns when done, with its error level)
;
; Every running monitor, in every session and on every desktop, is asked to end (as its tray menu's
; Quitter does: it closes the connection, logs its end and saves its settings) through events this
; program creates for the run and announces in HKLM (windows/setup_requests.h), since a deployment
; tool runs it as SYSTEM in session 0 where FindWindow sees no user's window. The new program file is
; written under another name and swapped in; the old one is put back when the swap fails. After an
; upgrade each ended monitor starts the new file itself, with its own user's rights: nothing this
; program starts runs with its administrator rights. The data folder (logs, settings) belongs to
; Administrators: Users may work inside it but not replace, delete or re-permission it or its logs;
; it is kept at uninstall. An install folder outside Program Files is refused when another account
; could move a folder above it, when it exists and is not the installed version's own, or when its
; drive is not a fixed disk of this computer; otherwise the program's helper makes it with Program
; Files' rights, and it is held open until the writes are done. The decisions and the rights come
; from the program's own rules, through its helper modes (windows/setup_helpers.h), run from
; $PLUGINSDIR.

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
!ifndef NAMES
  !error "makensis -DNAMES=<build>/VORTikaMonitor.names.nsh"
!endif
; The names shared with the program (ui/named_objects.h), generated at configure time.
!include "${NAMES}"

!define APP_NAME "VOR-TIKA Monitor"
!define APP_EXE "VORTikaMonitor.exe"
!define PUBLISHER "VORTIKA"
; The monitor's main window (ui/shell_ids.h): the class is a common one, the title makes it ours.
!define MAIN_CLASS "TForm1"
; The events of monitors older than the per-run requests, in the Global\ namespace or Local\ where
; such a monitor could not use Global\; and the window message of /quit, for a monitor older still.
!define QUIT_EVENT "${NAME_QuitEvent}"
!define REPLACED_EVENT "${NAME_ReplacedEvent}"
!define QUIT_MESSAGE "${NAME_QuitMessage}"
; This run's requests: SYSTEM and Administrators may set them, Users wait on them and read who owns
; them (SYNCHRONIZE, READ_CONTROL); given to Administrators, so that a monitor trusts them.
!define REQUEST_RIGHTS "D:P(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120000;;;BU)"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VORTikaMonitor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's source in the Application log: its messages are the program's own message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\VOR-TIKA Monitor"
; Written by the Windows Installer package while its installation is there (apart from the
; request's key, which the monitors watch).
!define MSI_KEY "Software\${APP_NAME}"
; Under $APPDATA once SetShellVarContext all: C:\ProgramData\VORTIKA.
!define DATA_FOLDER "VORTIKA"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include nsDialogs.nsh

Name "${APP_NAME}"
OutFile "${OUTFILE}"
; With a certificate the release passes -DSIGNER=<scripts/release>: the uninstaller is signed as it is
; made, before it goes into the setup (the setup itself is signed by the release afterwards).
!ifdef SIGNER
  !uninstfinalize 'bash "${SIGNER}" --sign "%1" uninstall.exe' = 0
!endif
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
Var RequestQuit
Var RequestReplaced
Var MostQuitHandles

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
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
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

; $3 := 1 while a process maps the installed program file: it can be renamed then, not written.
!macro ProgramInUse
  ${If} ${FileExists} "$INSTDIR\${APP_EXE}"
    ; GENERIC_WRITE, sharing everything, OPEN_EXISTING: refused only while a process runs it.
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\${APP_EXE}", i 0x40000000, i 7, p 0, i 3, i 0, p 0) p.r1'
    ${If} $1 P= -1
      StrCpy $3 1
    ${Else}
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
  ${EndIf}
!macroend

; $4 := the number of handles open on the object HANDLE (0 when it cannot be read).
!macro HandleCount HANDLE
  StrCpy $4 0
  System::Alloc 56
  Pop $5
  ; ObjectBasicInformation: Attributes, GrantedAccess, HandleCount, PointerCount, Reserved[10].
  System::Call 'ntdll::NtQueryObject(p ${HANDLE}, i 0, p r5, i 56, p 0) i.r6'
  ${If} $6 = 0
    System::Call '*$5(i, i, i .r4)'
  ${EndIf}
  System::Free $5
!macroend

; $3 := 0 when what still maps the program file are the monitors that ended at this run's request and
; wait for their successor: "Quitter" has no handle but this setup's, "Remplacé" has others, and each
; of those was seen holding "Quitter" (a monitor of an earlier version lets go of it at once, and may
; still be ending). Only after the first half second ($2 >= 5): a monitor that has not yet seen the
; request holds neither.
!macro OnlyEndedMonitorsMapProgram
  ${If} $RequestQuit P<> 0
    !insertmacro HandleCount $RequestQuit
    StrCpy $7 $4
    ${IfThen} $7 > $MostQuitHandles ${|} StrCpy $MostQuitHandles $7 ${|}
    !insertmacro HandleCount $RequestReplaced
    ${If} $2 >= 5
    ${AndIf} $7 = 1
    ${AndIf} $4 > 1
    ${AndIf} $4 <= $MostQuitHandles
      StrCpy $3 0
    ${EndIf}
  ${EndIf}
!macroend

; Creates this run's two events under a token no one can know in advance, "Quitter" already set,
; then announces the token in HKLM, where only administrators write: no user can take the names
; first. Owned by Administrators where the system lets this program give them away, else by its
; default owner (SYSTEM, or Administrators for an elevated administrator).
!macro PublishRequest
  StrCpy $RequestQuit 0
  StrCpy $RequestReplaced 0
  System::Call 'ole32::CoCreateGuid(g .r1)'
  StrCpy $7 0
  ${Do}
    ${If} $7 = 0
      StrCpy $8 "O:BA${REQUEST_RIGHTS}"
    ${Else}
      StrCpy $8 "${REQUEST_RIGHTS}"
    ${EndIf}
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r8, i 1, *p .r2, p 0) i.r3'
    ${If} $3 <> 0
      ; SECURITY_ATTRIBUTES: nLength, padding, lpSecurityDescriptor, bInheritHandle, padding.
      System::Call '*(i 24, i 0, p r2, i 0, i 0) p.r4'
      System::Call 'kernel32::CreateEventW(p r4, i 1, i 1, w "Global\${NAME_QuitEvent}.$1") p.r5 ?e'
      Pop $6
      ${If} $5 P<> 0
      ${AndIf} $6 <> 183
        System::Call 'kernel32::CreateEventW(p r4, i 1, i 0, w "Global\${NAME_ReplacedEvent}.$1") p.r9 ?e'
        Pop $6
        ${If} $9 P<> 0
        ${AndIf} $6 <> 183
          StrCpy $RequestQuit $5
          StrCpy $RequestReplaced $9
        ${Else}
          System::Call 'kernel32::CloseHandle(p r5)'
          ${If} $9 P<> 0
            System::Call 'kernel32::CloseHandle(p r9)'
          ${EndIf}
        ${EndIf}
      ${ElseIf} $5 P<> 0
        System::Call 'kernel32::CloseHandle(p r5)'
      ${EndIf}
      System::Free $4
      System::Call 'kernel32::LocalFree(p r2)'
    ${EndIf}
    ${IfThen} $RequestQuit P<> 0 ${|} ${ExitDo} ${|}
    ${IfThen} $7 = 1 ${|} ${ExitDo} ${|}
    StrCpy $7 1
  ${Loop}
  ${If} $RequestQuit P<> 0
    WriteRegStr HKLM "${NAME_RequestKey}" "${NAME_RequestValue}" "$1"
  ${EndIf}
!macroend

; No monitor starting from now on sees the request; the announcement goes.
!macro WithdrawRequest
  ${If} $RequestQuit P<> 0
    System::Call 'kernel32::ResetEvent(p $RequestQuit)'
  ${EndIf}
  DeleteRegValue HKLM "${NAME_RequestKey}" "${NAME_RequestValue}"
  DeleteRegKey /ifempty HKLM "${NAME_RequestKey}"
  DeleteRegKey /ifempty HKLM "Software\VORTIKA"
!macroend

; At the end of the run, whatever its outcome.
!macro CloseRequest
  !insertmacro WithdrawRequest
  ${If} $RequestQuit P<> 0
    System::Call 'kernel32::CloseHandle(p $RequestQuit)'
  ${EndIf}
  ${If} $RequestReplaced P<> 0
    System::Call 'kernel32::CloseHandle(p $RequestReplaced)'
  ${EndIf}
  StrCpy $RequestQuit 0
  StrCpy $RequestReplaced 0
!macroend

; Asks every running monitor to end, as its tray menu's Quitter does, and waits (at most 15 s) until
; each has ended its shutdown: no process maps the program file any more but the ended monitors that
; wait for their successor, and no older monitor holds the fixed "Quitter" event. An older monitor
; that has not ended by then keeps the request to itself: the fixed event is cleared, so that no
; monitor starting later ends at once. A monitor of this session older than the events is reached
; through its window. Sets $WasRunning and $StartAfter.
!macro EndRunningMonitors
  StrCpy $WasRunning 0
  StrCpy $StartAfter 0
  StrCpy $MostQuitHandles 0
  !insertmacro PublishRequest
  StrCpy $0 0
  !insertmacro SetMonitorsEvent "${QUIT_EVENT}"
  StrCpy $3 0
  !insertmacro ProgramInUse
  ${If} $0 = 1
  ${OrIf} $3 = 1
    StrCpy $WasRunning 1
    DetailPrint "Fermeture de ${APP_NAME} en cours d'exécution..."
    StrCpy $2 0
    ${Do}
      StrCpy $3 0
      !insertmacro MonitorsHoldEvent "Global\${QUIT_EVENT}"
      !insertmacro MonitorsHoldEvent "Local\${QUIT_EVENT}"
      ${If} $3 = 0
        !insertmacro ProgramInUse
        ${If} $3 = 1
          !insertmacro OnlyEndedMonitorsMapProgram
        ${EndIf}
      ${EndIf}
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

; Each monitor that ended waits for this before it starts the file at its path again (if there is
; one). The request goes first: the monitors started now must not end at once.
!macro ReleaseEndedMonitors
  !insertmacro WithdrawRequest
  ${If} $RequestReplaced P<> 0
    System::Call 'kernel32::SetEvent(p $RequestReplaced)'
  ${EndIf}
  StrCpy $0 0
  !insertmacro SetMonitorsEvent "${REPLACED_EVENT}"
!macroend

; The program file, when a monitor that did not end still maps it: it cannot be overwritten or deleted
; then, but it can be renamed. $OldExe := the name it got, or "".
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

; Stops the install with nothing changed: the ended monitors start the installed file again.
!macro CannotWriteProgram
  Delete "$INSTDIR\${APP_EXE}.new"
  !insertmacro ReleaseEndedMonitors
  MessageBox MB_OK|MB_ICONSTOP "Impossible d'écrire $INSTDIR\${APP_EXE}." /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; The new file is written under another name first, then swapped in: a write that fails (a full
; disk, an antivirus holding the new file) leaves the installed program in place, and a swap that
; fails puts it back. $OldExe := the old file's name aside, deleted once free.
!macro WriteProgramFile
  StrCpy $OldExe ""
  Delete "$INSTDIR\${APP_EXE}.*.old"
  Delete "$INSTDIR\${APP_EXE}.new"
  ClearErrors
  File "/oname=${APP_EXE}.new" "${EXE}"
  ${If} ${Errors}
    !insertmacro CannotWriteProgram
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${APP_EXE}"
    System::Call 'kernel32::GetTickCount() i.r1'
    IntFmt $1 "%08X" $1
    ClearErrors
    Rename "$INSTDIR\${APP_EXE}" "$INSTDIR\${APP_EXE}.$1.old"
    ${If} ${Errors}
      !insertmacro CannotWriteProgram
    ${EndIf}
    StrCpy $OldExe "$INSTDIR\${APP_EXE}.$1.old"
  ${EndIf}
  ClearErrors
  Rename "$INSTDIR\${APP_EXE}.new" "$INSTDIR\${APP_EXE}"
  ${If} ${Errors}
    ${If} $OldExe != ""
      Rename "$OldExe" "$INSTDIR\${APP_EXE}"
      StrCpy $OldExe ""
    ${EndIf}
    !insertmacro CannotWriteProgram
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

; Runs one of the program's helper modes (ARGS) from the plugins folder. $0 := its exit code,
; preset to a failure and -1 when it could not be started: no helper's silence counts as consent.
!macro RunHelper ARGS
  StrCpy $0 -1
  ClearErrors
  ExecWait '"$PLUGINSDIR\${APP_EXE}" ${ARGS}' $0
  ${If} ${Errors}
    StrCpy $0 -1
  ${EndIf}
!macroend

; As the desktop's user, through the shell's IShellDispatch2 (the program's /setup-launch), so that
; the monitor does not run with this program's administrator rights. Nothing when silent or as
; SYSTEM, where no desktop's user is there to start it for: the ended monitors restart themselves.
Function StartMonitor
  ${IfThen} ${Silent} ${|} Return ${|}
  !insertmacro RunHelper '/setup-launch "$INSTDIR\${APP_EXE}"'
  ${If} $0 <> 0
    DetailPrint "${APP_NAME} n'a pas pu être lancé pour l'utilisateur du bureau ($0)."
  ${EndIf}
FunctionEnd

; With no shell to hand the start to, "Lancer ... maintenant" is left unchecked.
Function FinishPageShow
  !insertmacro RunHelper "/setup-can-launch"
  ${If} $0 <> 0
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
  ${EndIf}
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

; Stops the setup with error level 2: nothing more is written, the ended monitors start again.
!macro GiveUp TEXT
  !insertmacro ReleaseEndedMonitors
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; The data folder and its logs\ are shared by every user, and Users may create folders in
; ProgramData: a folder put there before us, or a link in its place, would let a user steer what
; this program creates and the rights it grants. Such a folder ($R0, "data" or "logs" in $R2) is
; moved aside, or the setup stops (error level 2: it would leave the user's folder in use); a new one
; is made and given to Administrators with the program's own rights (storage/folder_rights.h):
; Users may create the settings file and the day's log, write the settings, append to and read the
; logs, and delete or re-permission neither the folders nor their files. Wine enforces no rights:
; only the moving aside shows there.
Function PrepareSharedFolder
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
      !insertmacro GiveUp "Le dossier de données $R0 $R1 et n'a pas pu être mis de côté : rien n'est installé."
    ${EndIf}
    DetailPrint "Le dossier de données $R0 $R1 : mis de côté sous $R0.$1.ecarte, un nouveau dossier est créé."
  ${EndIf}
  CreateDirectory "$R0"
  ; A link put in its place meanwhile gets nothing: the program's helper refuses it, and the setup
  ; stops rather than go on through it.
  !insertmacro RunHelper '/setup-secure-folder $R2 "$R0"'
  ${If} $0 <> 0
    DetailPrint "Droits du dossier $R0 non modifiés ($0)."
    !insertmacro GiveUp "Les droits du dossier de données $R0 n'ont pas pu être donnés aux Administrateurs ($0) : rien n'est installé."
  ${EndIf}
FunctionEnd

Function PrepareDataFolder
  StrCpy $R0 "$APPDATA\${DATA_FOLDER}"
  StrCpy $R2 "data"
  Call PrepareSharedFolder
  StrCpy $R0 "$APPDATA\${DATA_FOLDER}\logs"
  StrCpy $R2 "logs"
  Call PrepareSharedFolder
FunctionEnd

; A folder made elsewhere with /D= lives under folders whose rights the drive gave: a user who may
; rename one of them away can put another program and uninstaller in its place, which the Run value
; starts in every session and an administrator or SYSTEM runs to uninstall. A folder that already
; holds files may hold one a user planted. The program's rule (storage/install_folder.h) refuses
; both (error level 2, nothing written); Program Files is accepted as it is.
Function CheckInstallFolder
  GetFullPathName $R0 "$INSTDIR"
  ${IfThen} $R0 == "" ${|} StrCpy $R0 "$INSTDIR" ${|}
  ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
  !insertmacro RunHelper '/setup-check-folder "$R0" "$R1"'
  ${IfThen} $0 = 0 ${|} Return ${|}
  ${If} $0 = 3
    StrCpy $R1 "Le dossier d'installation $R0 n'est pas un dossier d'un disque de cet ordinateur"
  ${ElseIf} $0 = 4
    StrCpy $R1 "Un dossier au-dessus de $R0 est un lien, ou d'autres comptes que SYSTEM et les Administrateurs peuvent le déplacer ou en changer les droits"
  ${ElseIf} $0 = 5
    StrCpy $R1 "Le dossier d'installation $R0 contient déjà des fichiers"
  ${ElseIf} $0 = 8
    StrCpy $R1 "Le dossier d'installation $R0 n'est pas sur un disque fixe de cet ordinateur qui garde les droits d'accès (disque amovible, USB, carte, disque virtuel ou image montée, volume FAT)"
  ${ElseIf} $0 = 9
    StrCpy $R1 "Le dossier d'installation $R0 existe déjà et n'a pas été créé par l'installation"
  ${ElseIf} $0 = 10
    StrCpy $R1 "Le dossier d'installation $R0 n'appartient plus aux Administrateurs, ou d'autres comptes peuvent y écrire"
  ${ElseIf} $0 = 11
    StrCpy $R1 "Le dossier d'installation $R0 est un lien"
  ${Else}
    StrCpy $R1 "Le dossier d'installation $R0 n'a pas pu être vérifié ($0)"
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$R1 : choisissez-en un autre, par exemple dans Program Files. Rien n'est installé." /SD IDOK
  SetErrorLevel 2
  Abort
FunctionEnd

Var HeldFolder
; The install folder when this run made it: a setup that fails takes it away again (when still
; empty), so that the next run does not find a folder it did not make.
Var MadeFolder

; Outside Program Files the program's helper makes the folder with Program Files' rights in the same
; call (SYSTEM, Administrators and TrustedInstaller full control, Users read and execute, nothing
; inherited from the parent, Administrators as owner): it never exists with the rights the drive
; passes down. The installed version's own folder is taken only while it still has them. Either
; way the folder is then held open without delete sharing until the setup's writes are done, so
; that it cannot be renamed away and replaced. Wine enforces no rights.
Function SecureInstallFolder
  GetFullPathName $R0 "$INSTDIR"
  ${IfThen} $R0 == "" ${|} StrCpy $R0 "$INSTDIR" ${|}
  StrCpy $3 0
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $2 "$R0" $1
  ${IfThen} $2 == "$PROGRAMFILES64\" ${|} StrCpy $3 1 ${|}
  StrLen $1 "$PROGRAMFILES32\"
  StrCpy $2 "$R0" $1
  ${IfThen} $2 == "$PROGRAMFILES32\" ${|} StrCpy $3 1 ${|}
  !insertmacro PathAttributes "$R0"
  ${IfThen} $1 = -1 ${|} StrCpy $MadeFolder "$R0" ${|}
  ${If} $3 = 1
    CreateDirectory "$R0"
    Call HoldInstallFolder
    Return
  ${EndIf}
  IntOp $2 $1 & 0x400
  ${If} $1 <> -1
  ${AndIf} $2 <> 0
    MessageBox MB_OK|MB_ICONSTOP "Le dossier d'installation $R0 est un lien : choisissez-en un autre." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  DetailPrint "Dossier d'installation hors de Program Files : il reçoit les droits de Program Files."
  !insertmacro RunHelper '/setup-make-folder "$R0"'
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "Les droits du dossier d'installation $R0 n'ont pas pu être fixés ($0) : rien n'est installé." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Call HoldInstallFolder
FunctionEnd

; $HeldFolder := the install folder $R0 itself, opened without following a link and without delete
; sharing (FILE_LIST_DIRECTORY, read and write sharing, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS |
; FILE_FLAG_OPEN_REPARSE_POINT); closed once the writes are done, or when the setup fails.
Function HoldInstallFolder
  System::Call 'kernel32::CreateFileW(w "$R0", i 1, i 3, p 0, i 3, i 0x02200000, p 0) p.r1'
  ${If} $1 P= -1
    MessageBox MB_OK|MB_ICONSTOP "Le dossier d'installation $R0 n'a pas pu être ouvert : rien n'est installé." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  StrCpy $HeldFolder $1
FunctionEnd

!macro ReleaseInstallFolder
  ${If} $HeldFolder != ""
    System::Call 'kernel32::CloseHandle(p $HeldFolder)'
    StrCpy $HeldFolder ""
  ${EndIf}
!macroend

; Just before the writes: the held folder is still a folder, and neither it nor its path a link
; (the path's own attributes too: Wine opens a Unix symbolic link's target even when told not to).
Function CheckHeldFolder
  StrCpy $4 0x400
  System::Call '*(&i52) p.r2'
  System::Call 'kernel32::GetFileInformationByHandle(p $HeldFolder, p r2) i.r3'
  ${If} $3 <> 0
    System::Call '*$2(i .r4)'
  ${EndIf}
  System::Free $2
  !insertmacro PathAttributes "$INSTDIR"
  ${IfThen} $1 = -1 ${|} StrCpy $1 0x400 ${|}
  IntOp $4 $4 | $1
  IntOp $5 $4 & 0x400
  IntOp $6 $4 & 0x10
  ${If} $5 <> 0
  ${OrIf} $6 = 0
    !insertmacro GiveUp "Le dossier d'installation $INSTDIR a été remplacé par un lien ou n'est plus un dossier : rien n'est installé."
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
  ; The Windows Installer package's installation (installer/VORTikaMonitor.wxs) is removed first:
  ; the two would share the folder, the Run value and the event source.
  ReadRegStr $0 HKLM "${MSI_KEY}" "InstallFolder"
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${APP_NAME} est déjà installé par son paquet Windows Installer (MSI) : désinstallez-le d'abord depuis Programmes et fonctionnalités. Rien n'est installé.$\r$\n$\r$\n${APP_NAME} is already installed by its Windows Installer package (MSI): uninstall it first from Programs and Features. Nothing is installed." /SD IDOK
    SetErrorLevel 2
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
  ; The program's helper modes judge the folders and set their rights; run from here, never from a
  ; folder a user could have written to.
  InitPluginsDir
  ClearErrors
  File "/oname=$PLUGINSDIR\${APP_EXE}" "${EXE}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Impossible d'écrire $PLUGINSDIR\${APP_EXE}." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Call CheckInstallFolder
  Call SecureInstallFolder
  !insertmacro EndRunningMonitors
  Call PrepareDataFolder
  Call CheckHeldFolder

  SetOutPath "$INSTDIR"
  ; The installed version stays what it was until the new one is in place: the ended monitors
  ; start whichever is there.
  !insertmacro WriteProgramFile
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
  ; Run in place (_?=), the uninstaller returns when it is done, with its error level: run as
  ; "/S" alone it copies itself to %TEMP% and returns at once.
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
  ; Error, warning and information.
  WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\${APP_EXE}"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
  !insertmacro ReleaseInstallFolder
SectionEnd

Function .onInstSuccess
  !insertmacro CloseRequest
FunctionEnd

Function .onInstFailed
  !insertmacro CloseRequest
  !insertmacro ReleaseInstallFolder
  ${If} $MadeFolder != ""
    RMDir "$MadeFolder"
  ${EndIf}
FunctionEnd

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
  ; Run in place (_?=), the uninstaller cannot delete itself: it goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${APP_NAME}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
  ; $APPDATA\VORTIKA (logs and settings) stays.
SectionEnd

Function un.onUninstSuccess
  !insertmacro CloseRequest
FunctionEnd

Function un.onUninstFailed
  !insertmacro CloseRequest
FunctionEnd
