; Tandem's installer, built by scripts/package with makensis:
;   makensis -DVERSION=1.0 -DFILES=<folder with tandem.exe, tplayer.exe,
;            README.txt and manual\> -DOUTFILE=<setup.exe> installer/tandem.nsi
;
; Installs for the current user without administrator rights
; ($LOCALAPPDATA\Programs\Tandem), or for all users when run elevated
; ($PROGRAMFILES64\Tandem); /CurrentUser or /AllUsers choose explicitly.
; Adds a Start-menu shortcut, an uninstaller, the database file type, and
; tplayer.exe as the player's "Winamp.File" open command only when no player
; is registered. The uninstaller removes exactly that, never a database.

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

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tandem"
!define PLAYER_KEY "Software\Classes\Winamp.File"
!define CLASS_KEY "Software\Classes\Tandem.Database"
!define EXT_KEY "Software\Classes\.tdb"

Name "Tandem ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Tandem ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Tandem"
VIAddVersionKey "FileDescription" "Tandem setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Brightwater"
VIAddVersionKey "LegalCopyright" "Brightwater"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; ---- install mode ----

!macro ChooseMode un
Function ${un}ChooseMode
  ; All users only when this process may write there: elevated, or asked for.
  UserInfo::GetAccountType
  Pop $0
  StrCpy $1 "current"
  ${If} $0 == "Admin"
    StrCpy $1 "all"
  ${EndIf}
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/CurrentUser" $3
  ${IfNot} ${Errors}
    StrCpy $1 "current"
  ${EndIf}
  ClearErrors
  ${GetOptions} $2 "/AllUsers" $3
  ${IfNot} ${Errors}
    StrCpy $1 "all"
  ${EndIf}
  ${If} $1 == "all"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ChooseMode ""

Function .onInit
  SetRegView 64
  Call ChooseMode
  ; /D= sets the folder before this runs.
  ${If} $INSTDIR == ""
    ${If} $1 == "all"
      StrCpy $INSTDIR "$PROGRAMFILES64\Tandem"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Tandem"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Tandem"
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
  CreateShortcut "$SMPROGRAMS\Tandem.lnk" "$INSTDIR\tandem.exe"

  ; SHCTX is the current user's or the machine's hive, as the mode chose.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Tandem"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Brightwater"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\tandem.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ; The same file type that tandem.exe registers at every start.
  WriteRegStr SHCTX "${CLASS_KEY}" "" "Tandem database file"
  WriteRegStr SHCTX "${CLASS_KEY}\DefaultIcon" "" '"$INSTDIR\tandem.exe", 1'
  WriteRegStr SHCTX "${CLASS_KEY}\shell\open\command" "" '"$INSTDIR\tandem.exe" "%1"'
  WriteRegStr SHCTX "${EXT_KEY}" "" "Tandem.Database"

  ; A player the user already has stays his player.
  ReadRegStr $0 HKCR "Winamp.File\shell\open\command" ""
  ${If} $0 == ""
    WriteRegStr SHCTX "${PLAYER_KEY}\shell\open\command" "" '"$INSTDIR\tplayer.exe" "%1"'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "PlayerRegistered" 1
  ${EndIf}
SectionEnd

; ---- uninstall ----

!insertmacro ChooseMode "un."

Function un.onInit
  SetRegView 64
  Call un.ChooseMode
  ; The mode of the install, whatever this start's rights.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Deletes Key of Root when its default value is Value.
!macro DeleteKeyIf Root Key Value
  ReadRegStr $0 ${Root} "${Key}" ""
  ${If} $0 == '${Value}'
    DeleteRegKey ${Root} "${Key}"
  ${EndIf}
!macroend

Section "Uninstall"
  ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "PlayerRegistered"
  ${If} $0 == 1
    !insertmacro DeleteKeyIf SHCTX "${PLAYER_KEY}\shell\open\command" '"$INSTDIR\tplayer.exe" "%1"'
    DeleteRegKey /ifempty SHCTX "${PLAYER_KEY}\shell\open"
    DeleteRegKey /ifempty SHCTX "${PLAYER_KEY}\shell"
    DeleteRegKey /ifempty SHCTX "${PLAYER_KEY}"
  ${EndIf}

  ; The file type, where this installer or the installed tandem.exe wrote it,
  ; then its extension once no class is left for it.
  ReadRegStr $0 SHCTX "${CLASS_KEY}\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\tandem.exe" "%1"'
    DeleteRegKey SHCTX "${CLASS_KEY}"
  ${EndIf}
  ReadRegStr $0 HKCR "Tandem.Database\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\tandem.exe" "%1"'
    DeleteRegKey HKCR "Tandem.Database"
  ${EndIf}
  ReadRegStr $0 HKCR "Tandem.Database" ""
  ${If} $0 == ""
    !insertmacro DeleteKeyIf SHCTX "${EXT_KEY}" "Tandem.Database"
    !insertmacro DeleteKeyIf HKCR ".tdb" "Tandem.Database"
  ${EndIf}

  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Delete "$SMPROGRAMS\Tandem.lnk"

  ; Only the installed files: databases the user saved here stay.
  Delete "$INSTDIR\manual\images\*.png"
  RMDir "$INSTDIR\manual\images"
  Delete "$INSTDIR\manual\manual.html"
  RMDir "$INSTDIR\manual"
  Delete "$INSTDIR\tandem.exe"
  Delete "$INSTDIR\tplayer.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ; A new user's programs folder is made by the install: not left behind empty.
  RMDir "$LOCALAPPDATA\Programs"
SectionEnd
