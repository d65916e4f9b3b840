; Tandem's installer, built by scripts/package with makensis:
;   makensis -DVERSION=1.0 -DFILES=<folder with tandem.exe, tplayer.exe,
;            README.txt and manual\> -DOUTFILE=<setup.exe> [-DSIGN=<command>]
;            installer/tandem.nsi
; SIGN, when given, is run as `SIGN FILE` on the uninstaller and the installer
; as makensis writes them, to sign them.
;
; Installs for the current user without administrator rights
; ($LOCALAPPDATA\Programs\Tandem), or for all users when run elevated
; ($PROGRAMFILES64\Tandem); /CurrentUser or /AllUsers choose explicitly. An
; installed copy is upgraded in its folder and for the users it has. Adds a
; Start-menu shortcut, an uninstaller, the database file type, and tplayer.exe
; as the player's "Winamp.File" open command only when no player is
; registered. The uninstaller removes exactly that, never a database.
;
; Tandem and the players that run from the folder are closed first (asked
; unless silent): WM_CLOSE, then ended after a while.
; Exit codes: 0 done; 1 cancelled; 2 Tandem or a player could not be closed,
; or a file not written or removed; 740 all users without administrator rights.
; uninstall.exe /S returns at once (it runs on from a copy in the temp folder);
; a copy of it started with `/S _?=<folder>` runs to the end and returns the code.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifndef VERSION | FILES | OUTFILE
  !error "VERSION, FILES and OUTFILE are given by scripts/package"
!endif
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandem"
!define PLAYER_CLASS "Winamp.File"
!define DB_CLASS "Tandem.Database"
!define PANEL_TITLE "Tandem v1.0 - Control Panel"
!define PLAYER_WINDOW_CLASS "WinAmp v1.x"
!define ERROR_ELEVATION_REQUIRED 740

Name "Tandem ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Tandem ${VERSION}"
; The version resource wants four numbers: 1.0 becomes 1.0.0.0.
!searchparse /noerrors "${VERSION}.0.0.0." "" VERSION_1 "." VERSION_2 "." VERSION_3 "." VERSION_4 "."
VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey "ProductName" "Tandem"
VIAddVersionKey "FileDescription" "Tandem setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Brightwater"
VIAddVersionKey "LegalCopyright" "Brightwater"

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Mode        ; "all" or "current"
Var Previous    ; the folder of the install found in this mode, or empty
Var Elevated    ; 1 when the process holds administrator rights
Var ElevationType ; 3 for an administrator's token that UAC keeps limited

; ---- shared by the installer and the uninstaller ----

; Fails the run when $INSTDIR\FILE exists and cannot be opened for writing:
; the program is still running.
!macro CheckFree un file
  ${If} ${FileExists} "$INSTDIR\${file}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${file}" a
    ${If} ${Errors}
      StrCpy $0 "$INSTDIR\${file} is still running and could not be closed."
      StrCpy $1 2
      Call ${un}Fail
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

!macro Shared un

Function ${un}ReadRights
  StrCpy $Elevated 0
  StrCpy $ElevationType 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r0) i .r1'
  ${If} $1 <> 0
    ; TokenElevation 20, TokenElevationType 18
    System::Call 'advapi32::GetTokenInformation(p r0, i 20, *i .s, i 4, *i .r2)'
    Pop $Elevated
    System::Call 'advapi32::GetTokenInformation(p r0, i 18, *i .s, i 4, *i .r2)'
    Pop $ElevationType
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
FunctionEnd

; Ends the run with exit code $1 after saying why ($0): in a message box, or
; in silent mode on the standard error output.
Function ${un}Fail
  ${If} ${Silent}
    StrCpy $0 "Tandem: $0$\r$\n"
    System::Call 'kernel32::GetStdHandle(i -12) p .r2'
    System::Call 'kernel32::lstrlenA(m r0) i .r3'
    System::Call 'kernel32::WriteFile(p r2, m r0, i r3, *i .r4, p 0)'
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "$0"
  ${EndIf}
  SetErrorLevel $1
  Quit
FunctionEnd

; For all users this process must be elevated. An administrator whom UAC
; keeps limited is asked once: a second start, elevated, with the options $0
; and last $1, whose exit code this one returns. Anyone else, or a silent
; run, fails.
Function ${un}RequireRights
  ${If} $Elevated = 1
    Return
  ${EndIf}
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/Elevated" $3
  ${If} ${Errors}
  ${AndIf} $ElevationType = 3
  ${AndIfNot} ${Silent}
    StrCpy $0 "$0 /Elevated $1"
    ; SHELLEXECUTEINFOW: cbSize 112, fMask SEE_MASK_NOCLOSEPROCESS, hwnd, verb,
    ; file, parameters, directory, nShow; hProcess at offset 104.
    System::Call '*(&i112) p .r1'
    System::Call '*$1(i 112, i 0x40, p 0, w "runas", w "$EXEPATH", w r0, p 0, i 1)'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
    ${If} $2 <> 0
      IntPtrOp $3 $1 + 104
      System::Call '*$3(p .r3)'
      System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
      System::Call 'kernel32::CloseHandle(p r3)'
      System::Free $1
      SetErrorLevel $4
      Quit
    ${EndIf}
    System::Free $1
  ${EndIf}
  StrCpy $0 "Tandem for all users needs administrator rights: start this program as administrator."
  StrCpy $1 ${ERROR_ELEVATION_REQUIRED}
  Call ${un}Fail
FunctionEnd

; Counts Tandem's control panels ($1 class, $2 title) or players whose
; program lies in $INSTDIR into $R0; with $R1 "close" sends each WM_CLOSE and
; pushes its process handle.
Function ${un}VisitWindows
  StrCpy $3 0
  ${Do}
    FindWindow $3 "$1" "$2" "" $3
    ${If} $3 = 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r3, *i .r4)'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i r4) p .r4'
    ${If} $4 = 0
      ${Continue}
    ${EndIf}
    System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r5, *i ${NSIS_MAX_STRLEN})'
    Push $5
    Call ${un}IsHere
    Pop $5
    ${If} $5 <> 1
      System::Call 'kernel32::CloseHandle(p r4)'
      ${Continue}
    ${EndIf}
    IntOp $R0 $R0 + 1
    ${If} $R1 == "close"
      System::Call 'user32::PostMessageW(p r3, i ${WM_CLOSE}, p 0, p 0)'
      Push $4
    ${Else}
      System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
  ${Loop}
FunctionEnd

Function ${un}VisitPrograms
  StrCpy $R0 0
  StrCpy $1 "#32770"
  StrCpy $2 "${PANEL_TITLE}"
  Call ${un}VisitWindows
  StrCpy $1 "${PLAYER_WINDOW_CLASS}"
  StrCpy $2 ""
  Call ${un}VisitWindows
FunctionEnd

; Closes the programs of the windows $1 (class) and $2 (title) that run from
; $INSTDIR: WM_CLOSE, and whatever has not ended after ten seconds is ended.
Function ${un}CloseAndWait
  Push "end"
  StrCpy $R1 "close"
  Call ${un}VisitWindows
  System::Call 'kernel32::GetTickCount() i .r7'
  IntOp $7 $7 + 10000
  ${Do}
    Pop $4
    ${If} $4 == "end"
      ${Break}
    ${EndIf}
    System::Call 'kernel32::GetTickCount() i .r8'
    IntOp $8 $7 - $8
    ${If} $8 < 0
      StrCpy $8 0
    ${EndIf}
    System::Call 'kernel32::WaitForSingleObject(p r4, i r8) i .r9'
    ${If} $9 <> 0
      System::Call 'kernel32::TerminateProcess(p r4, i 1)'
      System::Call 'kernel32::WaitForSingleObject(p r4, i 5000)'
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r4)'
  ${Loop}
FunctionEnd

; Tandem saves its database as it closes; players stop. Tandem goes first:
; while it runs it starts again any player that goes away. A program still
; holding its file (one of another session, say) fails the run before
; anything is changed.
Function ${un}ClosePrograms
  StrCpy $R1 "count"
  Call ${un}VisitPrograms
  ${If} $R0 > 0
    MessageBox MB_OKCANCEL|MB_ICONINFORMATION "Tandem or its players are running from $INSTDIR.$\n$\n\
      Close them now? Tandem saves its database as it closes." /SD IDOK IDOK close
    SetErrorLevel 1
    Quit
  close:
    StrCpy $1 "#32770"
    StrCpy $2 "${PANEL_TITLE}"
    Call ${un}CloseAndWait
    StrCpy $1 "${PLAYER_WINDOW_CLASS}"
    StrCpy $2 ""
    Call ${un}CloseAndWait
  ${EndIf}
  !insertmacro CheckFree "${un}" "tandem.exe"
  !insertmacro CheckFree "${un}" "tplayer.exe"
FunctionEnd

; Replaces the command (or path) on the stack with 1 when it names a program
; of $INSTDIR, else with 0.
Function ${un}IsHere
  Exch $1
  Push $2
  StrCpy $2 $1 1
  ${If} $2 == '"'
    StrCpy $1 $1 "" 1
  ${EndIf}
  StrLen $2 "$INSTDIR\"
  StrCpy $1 $1 $2
  ${If} $1 == "$INSTDIR\"
    StrCpy $1 1
  ${Else}
    StrCpy $1 0
  ${EndIf}
  Pop $2
  Exch $1
FunctionEnd

; The shell caches file types and their icons.
Function ${un}TellShell
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
FunctionEnd

!macroend

!insertmacro Shared ""
!insertmacro Shared "un."

; ---- install ----

Function .onInit
  SetRegView 64
  Call ReadRights
  ${GetParameters} $R0
  StrCpy $Mode ""
  ClearErrors
  ${GetOptions} $R0 "/CurrentUser" $0
  ${IfNot} ${Errors}
    StrCpy $Mode "current"
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $0
  ${IfNot} ${Errors}
    StrCpy $Mode "all"
  ${EndIf}
  ; Unless asked, an installed copy keeps its mode; with both or none, all
  ; users when elevated.
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $Mode != ""
    ; asked for
  ${ElseIf} $1 != ""
  ${AndIf} $2 == ""
    StrCpy $Mode "current"
  ${ElseIf} $2 != ""
  ${AndIf} $1 == ""
    StrCpy $Mode "all"
  ${ElseIf} $Elevated = 1
    StrCpy $Mode "all"
  ${Else}
    StrCpy $Mode "current"
  ${EndIf}
  ${If} $Mode == "all"
    SetShellVarContext all
    StrCpy $Previous $2
  ${Else}
    SetShellVarContext current
    StrCpy $Previous $1
  ${EndIf}

  ; /D= sets the folder before this runs; an upgrade stays where it is.
  ${If} $INSTDIR == ""
  ${AndIf} $Previous != ""
    StrCpy $INSTDIR $Previous
  ${ElseIf} $INSTDIR == ""
  ${AndIf} $Mode == "all"
    StrCpy $INSTDIR "$PROGRAMFILES64\Tandem"
  ${ElseIf} $INSTDIR == ""
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Tandem"
  ${ElseIf} $Previous != ""
  ${AndIf} $Previous != $INSTDIR
    StrCpy $0 "Tandem is installed in $Previous: uninstall it there first to install it in $INSTDIR."
    StrCpy $1 2
    Call Fail
  ${EndIf}

  ${If} $Mode == "all"
    StrCpy $0 "$R0 /AllUsers"
    StrCpy $1 "/D=$INSTDIR"
    Call RequireRights
  ${EndIf}
FunctionEnd

Function SkipOnUpgrade
  ${If} $Previous != ""
    Abort
  ${EndIf}
FunctionEnd

Section "Tandem"
  Call ClosePrograms
  ClearErrors
  SetOutPath "$INSTDIR"
  File "${FILES}\tandem.exe"
  File "${FILES}\tplayer.exe"
  File "${FILES}\README.txt"
  SetOutPath "$INSTDIR\manual"
  File "${FILES}\manual\manual.html"
  SetOutPath "$INSTDIR\manual\images"
  File "${FILES}\manual\images\*.png"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    StrCpy $0 "Not every file could be written to $INSTDIR."
    StrCpy $1 2
    Call Fail
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Tandem.lnk" "$INSTDIR\tandem.exe"

  ; SHCTX is the current user's or the machine's hive, as the mode chose.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Tandem"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Brightwater"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\tandem.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ; The database file type belongs to this install.
  WriteRegStr SHCTX "Software\Classes\${DB_CLASS}" "" "Tandem database file"
  WriteRegStr SHCTX "Software\Classes\${DB_CLASS}\DefaultIcon" "" '"$INSTDIR\tandem.exe", 1'
  WriteRegStr SHCTX "Software\Classes\${DB_CLASS}\shell\open\command" "" '"$INSTDIR\tandem.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.tdb" "" "${DB_CLASS}"

  ; A player the user already has stays his player; ours is rewritten.
  ReadRegStr $0 HKCR "${PLAYER_CLASS}\shell\open\command" ""
  Push $0
  Call IsHere
  Pop $1
  ${If} $0 == ""
  ${OrIf} $1 = 1
    WriteRegStr SHCTX "Software\Classes\${PLAYER_CLASS}\shell\open\command" "" '"$INSTDIR\tplayer.exe" "%1"'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "PlayerRegistered" 1
  ${EndIf}
  Call TellShell
SectionEnd

; ---- uninstall ----

; Removes ROOT's file class of Tandem databases (under PREFIX) when it opens
; a tandem.exe of this folder.
!macro ForgetDatabaseClass ROOT PREFIX
  ReadRegStr $1 ${ROOT} "${PREFIX}${DB_CLASS}\shell\open\command" ""
  ${If} $1 == ""
    ReadRegStr $1 ${ROOT} "${PREFIX}${DB_CLASS}\DefaultIcon" ""
  ${EndIf}
  Push $1
  Call un.IsHere
  Pop $1
  ${If} $1 = 1
    DeleteRegKey ${ROOT} "${PREFIX}${DB_CLASS}"
  ${EndIf}
!macroend

; Removes ROOT's .tdb pointer to the class (under PREFIX), not what others keep there.
!macro ForgetExtension ROOT PREFIX
  ReadRegStr $1 ${ROOT} "${PREFIX}.tdb" ""
  ${If} $1 == "${DB_CLASS}"
    DeleteRegValue ${ROOT} "${PREFIX}.tdb" ""
    DeleteRegKey /ifempty ${ROOT} "${PREFIX}.tdb"
  ${EndIf}
!macroend

Function un.onInit
  SetRegView 64
  Call un.ReadRights
  ; The mode of the install, whatever this start's rights.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Mode "all"
    SetShellVarContext all
    ${GetParameters} $0
    StrCpy $1 "_?=$INSTDIR"
    Call un.RequireRights
  ${Else}
    StrCpy $Mode "current"
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.ClosePrograms

  ; Only the installed files: databases the user saved here stay.
  ClearErrors
  Delete "$INSTDIR\tandem.exe"
  Delete "$INSTDIR\tplayer.exe"
  ${If} ${Errors}
    StrCpy $0 "Tandem could not be removed from $INSTDIR."
    StrCpy $1 2
    Call un.Fail
  ${EndIf}
  Delete "$INSTDIR\manual\images\*.png"
  RMDir "$INSTDIR\manual\images"
  Delete "$INSTDIR\manual\manual.html"
  RMDir "$INSTDIR\manual"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $Mode == "current"
    ; A new user's programs folder is made by the install: not left behind empty.
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}
  Delete "$SMPROGRAMS\Tandem.lnk"

  ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "PlayerRegistered"
  ${If} $0 = 1
    ReadRegStr $0 SHCTX "Software\Classes\${PLAYER_CLASS}\shell\open\command" ""
    Push $0
    Call un.IsHere
    Pop $0
    ${If} $0 = 1
      DeleteRegKey SHCTX "Software\Classes\${PLAYER_CLASS}\shell\open\command"
      DeleteRegKey /ifempty SHCTX "Software\Classes\${PLAYER_CLASS}\shell\open"
      DeleteRegKey /ifempty SHCTX "Software\Classes\${PLAYER_CLASS}\shell"
      DeleteRegKey /ifempty SHCTX "Software\Classes\${PLAYER_CLASS}"
    ${EndIf}
  ${EndIf}

  ; The file type where this installer wrote it, where a start of the
  ; installed tandem.exe registered it, and in the merged view; then the
  ; extension's pointer once no class is left for it.
  !insertmacro ForgetDatabaseClass SHCTX "Software\Classes\"
  !insertmacro ForgetDatabaseClass HKCU "Software\Classes\"
  !insertmacro ForgetDatabaseClass HKCR ""
  ReadRegStr $0 HKCR "${DB_CLASS}" ""
  ${If} $0 == ""
    !insertmacro ForgetExtension SHCTX "Software\Classes\"
    !insertmacro ForgetExtension HKCR ""
  ${EndIf}

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Call un.TellShell
SectionEnd
