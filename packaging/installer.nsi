; Installer of the Discord Corvane plug-in, the way Winamp plug-ins are
; installed: finds Winamp's folder where Winamp's own installer recorded it,
; puts gen_DiscordCorvane.dll into its Plugins folder, says where the Discord
; Game SDK's DLL goes when it is missing, and registers an uninstaller that
; removes what was installed and leaves the user's settings alone.
;   makensis -DVERSION=1.2.3 -DPLUGIN_DLL=<gen_DiscordCorvane.dll> -DOUTFILE=<setup.exe> installer.nsi
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
!define SDK_FILE "discord_game_sdk.dll"
!define UNINSTALLER "DiscordCorvane-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\DiscordCorvane"
; What Winamp's installer records: the folder for the user, and its own
; uninstaller (whose folder is Winamp's) for the machine.
!define WINAMP_USER_KEY "Software\Winamp"
!define WINAMP_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
; Winamp's main window class; its presence means Winamp runs and holds the plug-in.
!define WINAMP_WINDOW_CLASS "Winamp v1.x"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup (Winamp plug-in)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PRODUCT} developers"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs ${PRODUCT} into the Plugins folder of the Winamp below. \
To use another Winamp, choose its folder (the one that holds winamp.exe)."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start Discord, then Winamp: your Discord status follows the player.$\r$\n$\r$\n\
Settings: Winamp > Options > Preferences > Plug-ins > General Purpose > ${PRODUCT}."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

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
  StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
FunctionEnd

; The directory page offers only folders that hold a Winamp.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    Abort
  ${EndIf}
FunctionEnd

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
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    DetailPrint "Stopped: $INSTDIR holds no winamp.exe, so it is not a Winamp folder."
    Abort
  ${EndIf}
  Call WaitForWinampToClose

  SetOutPath "$INSTDIR\Plugins"
  File "/oname=${PLUGIN_FILE}" "${PLUGIN_DLL}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (Winamp plug-in)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT} developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\winamp.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins" "/M=${PLUGIN_FILE} /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; The plug-in looks for the SDK next to itself first, then next to winamp.exe.
  ${IfNot} ${FileExists} "$INSTDIR\Plugins\${SDK_FILE}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${SDK_FILE}"
    DetailPrint "${SDK_FILE} is missing: put it into $INSTDIR\Plugins"
    MessageBox MB_OK|MB_ICONINFORMATION "One more step: ${PRODUCT} talks to Discord through the Discord Game SDK, \
and its ${SDK_FILE} is not in this Winamp yet.$\r$\n$\r$\n\
Get it from the Discord Game SDK download on Discord's developer site (any version from 2.5 on): \
in the downloaded archive it is lib\x86\${SDK_FILE} (the 32-bit one).$\r$\n$\r$\n\
Put it next to the plug-in, into:$\r$\n$INSTDIR\Plugins$\r$\n$\r$\nThen start Winamp." /SD IDOK
  ${EndIf}
SectionEnd

Section "Uninstall"
  Call un.WaitForWinampToClose
  ; $INSTDIR is the Plugins folder that holds this uninstaller. The settings
  ; (tolvek\config.ini) and the SDK's DLL, which this setup did not bring,
  ; stay where they are.
  Delete "$INSTDIR\${PLUGIN_FILE}"
  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
