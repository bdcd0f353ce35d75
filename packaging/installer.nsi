; Installer of the Discord Corvane plug-in, the way Winamp plug-ins are
; installed: finds Winamp's folder where Winamp's own installer recorded it
; (or asks for it), puts gen_DiscordCorvane.dll into its Plugins folder, and
; registers an uninstaller per Winamp folder that removes what was installed
; and leaves the user's settings alone.
;   makensis -DVERSION=1.2.3 -DPLUGIN_DLL=<gen_DiscordCorvane.dll> -DLICENSE_FILE=<LICENSE>
;            -DOUTFILE=<setup.exe> [-DTEST_BUILD] installer.nsi
; TEST_BUILD marks a build with the placeholder Discord application id.
; Silent installs (/S) end with exit code 0 when installed, 2 when stopped
; (no Winamp folder, or Winamp running).
; -DTARGET=amd64-unicode makes a 64-bit installer, only for testing a 64-bit
; build on machines that run no 32-bit programs.

!ifdef TARGET
Target ${TARGET}
!endif
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Discord Corvane"
!define PLUGIN_FILE "gen_DiscordCorvane.dll"
!define LICENSE_NAME "DiscordCorvane-LICENSE.txt"
!define UNINSTALLER "DiscordCorvane-uninstall.exe"
; One Add/Remove Programs entry per Winamp folder: this key, or this key with
; "-2", "-3"... for further Winamps; each entry names its Plugins folder.
!define UNINSTALL_KEYS "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY_NAME "DiscordCorvane"
!ifdef TEST_BUILD
  !define EDITION " (test build)"
  !define ENTRY_NAME "${PRODUCT} (Winamp plug-in, test build)"
!else
  !define EDITION ""
  !define ENTRY_NAME "${PRODUCT} (Winamp plug-in)"
!endif
!define TEXT_SETTINGS_STAY "Your settings stay: Plugins\tolvek\config.ini in Winamp's settings folder \
(usually %APPDATA%\Winamp)."
; What Winamp's installer records: the folder for the user, and its own
; uninstaller (whose folder is Winamp's) for the machine.
!define WINAMP_USER_KEY "Software\Winamp"
!define WINAMP_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
; Winamp's main window class; its presence means Winamp runs and holds the plug-in.
!define WINAMP_WINDOW_CLASS "Winamp v1.x"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}${EDITION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup (Winamp plug-in)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PRODUCT} developers"

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_TEXT "Choose your Winamp folder"
!define MUI_PAGE_HEADER_SUBTEXT "The folder that holds winamp.exe."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts ${PRODUCT} into the Plugins folder of the Winamp folder below. \
To use another Winamp, choose its folder: the folder that holds winamp.exe."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW DirectoryPageShow
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start Discord and Winamp in any order: \
your Discord status follows the player.$\r$\n$\r$\n\
Settings: in Winamp, Options > Preferences > Plug-ins > General Purpose > ${PRODUCT} > Configure."
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Setup removes ${PRODUCT} from this Winamp's Plugins folder. \
${TEXT_SETTINGS_STAY}"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
; The Browse button's folder dialog.
LangString ^DirBrowseText ${LANG_ENGLISH} "Choose the Winamp folder (the folder that holds winamp.exe):"

!define TEXT_NO_WINAMP_FOUND "Winamp was not found; choose its folder: the folder that holds winamp.exe. \
Setup puts ${PRODUCT} into its Plugins folder."
!define TEXT_NO_WINAMP_EXE "No winamp.exe in this folder."

; $0: an uninstaller's command line, possibly quoted; out: the folder it is in.
Function FolderOfCommand
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${GetParent} $0 $0
FunctionEnd

Function .onInit
  ; A folder given with /D= wins over everything found here.
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "${WINAMP_USER_KEY}" ""
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\winamp.exe"
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${WINAMP_UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    Call FolderOfCommand
    ${If} ${FileExists} "$0\winamp.exe"
      StrCpy $INSTDIR $0
      Return
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$PROGRAMFILES\Winamp\winamp.exe"
    StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
  ${EndIf}
  ; Otherwise the folder stays empty, and the page asks for it.
FunctionEnd

; No Winamp found: the page's text says so above the empty folder field.
Function DirectoryPageShow
  ${If} $INSTDIR == ""
    SendMessage $mui.DirectoryPage.Text ${WM_SETTEXT} 0 "STR:${TEXT_NO_WINAMP_FOUND}"
  ${EndIf}
FunctionEnd

; The directory page offers only folders that hold a Winamp; for one that
; does not, its free space line, next to the greyed Install button, says why.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    FindWindow $0 "#32770" "" $HWNDPARENT
    GetDlgItem $0 $0 1024
    SendMessage $0 ${WM_SETTEXT} 0 "STR:${TEXT_NO_WINAMP_EXE}"
    Abort
  ${EndIf}
FunctionEnd

; Out: $R0, the name under UNINSTALL_KEYS of the entry for the Plugins folder
; $R1: the entry that names it, or else the first free name.
!macro FIND_UNINSTALL_KEY un
Function ${un}FindUninstallKey
  StrCpy $R2 1
  ${Do}
    StrCpy $R0 "${UNINSTALL_KEY_NAME}"
    ${IfThen} $R2 > 1 ${|} StrCpy $R0 "${UNINSTALL_KEY_NAME}-$R2" ${|}
    ClearErrors
    ReadRegStr $R3 HKLM "${UNINSTALL_KEYS}\$R0" "InstallLocation"
    ${IfThen} ${Errors} ${|} Return ${|}
    ${IfThen} $R3 == $R1 ${|} Return ${|}
    IntOp $R2 $R2 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro FIND_UNINSTALL_KEY ""
!insertmacro FIND_UNINSTALL_KEY "un."

!macro WAIT_FOR_WINAMP_TO_CLOSE un
Function ${un}WaitForWinampToClose
  ${Do}
    FindWindow $0 "${WINAMP_WINDOW_CLASS}"
    ${IfThen} $0 == 0 ${|} Return ${|}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running and holds the plug-in. Close Winamp, then choose Retry." \
      /SD IDCANCEL IDRETRY retry
    DetailPrint "Stopped: Winamp is running."
    Abort
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_WINAMP_TO_CLOSE ""
!insertmacro WAIT_FOR_WINAMP_TO_CLOSE "un."

Section "${PRODUCT}"
  ; Silent installs skip the directory page and its check.
  ${If} $INSTDIR == ""
    DetailPrint "Stopped: Winamp was not found; give its folder with /D=folder, last on the command line."
    Abort
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    DetailPrint "Stopped: $INSTDIR holds no winamp.exe, so it is not a Winamp folder."
    Abort
  ${EndIf}
  Call WaitForWinampToClose

  SetOutPath "$INSTDIR\Plugins"
  File "/oname=${PLUGIN_FILE}" "${PLUGIN_DLL}"
  File "/oname=${LICENSE_NAME}" "${LICENSE_FILE}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  StrCpy $R1 "$INSTDIR\Plugins"
  Call FindUninstallKey
  StrCpy $R0 "${UNINSTALL_KEYS}\$R0"
  WriteRegStr HKLM $R0 "DisplayName" "${ENTRY_NAME} - $INSTDIR"
  WriteRegStr HKLM $R0 "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM $R0 "Publisher" "${PRODUCT} developers"
  WriteRegStr HKLM $R0 "DisplayIcon" "$INSTDIR\winamp.exe,0"
  WriteRegStr HKLM $R0 "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM $R0 "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM $R0 "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM $R0 "NoModify" 1
  WriteRegDWORD HKLM $R0 "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins" "/M=${PLUGIN_FILE} /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM $R0 "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.WaitForWinampToClose
  ; $INSTDIR is the Plugins folder that holds this uninstaller. The settings
  ; (tolvek\config.ini) and every file this setup did not bring stay.
  Delete "$INSTDIR\${PLUGIN_FILE}"
  Delete "$INSTDIR\${LICENSE_NAME}"
  Delete "$INSTDIR\${UNINSTALLER}"
  StrCpy $R1 $INSTDIR
  Call un.FindUninstallKey
  DeleteRegKey HKLM "${UNINSTALL_KEYS}\$R0"
  DetailPrint "${TEXT_SETTINGS_STAY}"
SectionEnd
