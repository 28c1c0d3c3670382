; The suite's setup program. CMake builds it with makensis (setup/CMakeLists.txt) and passes:
;   VERSION       the suite's version (common/version.h), e.g. 1.0.0
;   DIST          the folder of the built programs, default files and help file
;   DESKTOPSTART  the setup-time starter of programs as the person logged on (never installed)
;   OUTFILE       the setup program to write
;   PANEL         the control panel program, when it is built
;
; 64-bit: the programs are 64-bit, a 32-bit setup would see the system directory and the
; registry through the 32-bit redirection, and a 64-bit setup is what Wine here runs.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh

!define PRODUCT "Orvanel RingDeck"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvanelRingDeck"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS "$SYSDIR\OrvanelRingDeck.pref"
!define WM_QUIT 0x12
!define WM_CLOSE 0x10

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Orvanel"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) Orvanel"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Waits while a top-level window of the class (or title) exists, at most about 5 s.
!macro WaitWhileWindow CLASS TITLE
  Push $R0
  Push $R1
  StrCpy $R1 0
  ${Do}
    FindWindow $R0 "${CLASS}" "${TITLE}"
    ${If} $R0 = 0
    ${OrIf} $R1 >= 50
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R1 $R1 + 1
  ${Loop}
  Pop $R1
  Pop $R0
!macroend

; Waits until a top-level window of the class exists, at most about 10 s.
!macro WaitForWindow CLASS
  Push $R0
  Push $R1
  StrCpy $R1 0
  ${Do}
    FindWindow $R0 "${CLASS}"
    ${If} $R0 <> 0
    ${OrIf} $R1 >= 100
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R1 $R1 + 1
  ${Loop}
  Pop $R1
  Pop $R0
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  ; setupprep first: it refuses while a program of the suite runs and makes or completes the
  ; settings file from the default files beside it. When it refuses or fails, its message box
  ; has said why, and nothing has been placed yet.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\prep"
  File "${DIST}/setupprep.exe"
  File "${DIST}/OrvanelRingDeck.pref2k"
  File "${DIST}/OrvanelRingDeck.pref98"
  File "/oname=$PLUGINSDIR\desktopstart.exe" "${DESKTOPSTART}"
  DetailPrint "Preparing the settings file"
  ClearErrors
  ExecWait '"$PLUGINSDIR\prep\setupprep.exe"' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    SetOutPath "$TEMP"
    SetErrorLevel 2
    Abort "Setup cannot continue."
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${DIST}/RingDeckEngine.exe"
  File "${DIST}/RingDeck Helper.exe"
!ifdef PANEL
  File "${PANEL}"
!endif
  File "${DIST}/setupprep.exe"
  File "${DIST}/OrvanelRingDeck.pref2k"
  File "${DIST}/OrvanelRingDeck.pref98"
  File "${DIST}/shuttle.chm"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The settings file stays where every program and every earlier installation looks for it.
  ; Made by this elevated setup in the system directory, it would be read-only to the user; the
  ; control panel, which runs with the user's rights, must save it. Users (by its well-known SID,
  ; so that it works in every language of Windows) may change this one file, nothing else there.
  DetailPrint "Letting users save their settings"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${SETTINGS}" /grant *S-1-5-32-545:(M)'
  Pop $0
  ${If} $0 <> 0
    DetailPrint "icacls could not grant the access ($0): only administrators can save settings."
  ${EndIf}

  ; The engine registers itself to start at every logon and starts now, as the person logged
  ; on; the helper needs its window to show the engine's state.
  DetailPrint "Starting the engine"
  ExecWait '"$INSTDIR\RingDeckEngine.exe" -install'
  !insertmacro WaitForWindow "RingDeck Engine"

  ; The helper starts at every logon, and now through the desktop's shell, so that it runs with
  ; the rights of the person logged on, not this setup's. Without a desktop shell to ask (a
  ; deployment in a session without one) it is started from here.
  DetailPrint "Starting the tray icon"
  WriteRegStr HKLM "${RUN_KEY}" "RingDeck Helper" '"$INSTDIR\RingDeck Helper.exe"'
  ClearErrors
  ExecWait '"$PLUGINSDIR\desktopstart.exe" "$INSTDIR\RingDeck Helper.exe"' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    Exec '"$INSTDIR\RingDeck Helper.exe"'
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
!ifdef PANEL
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Orvanel RingDeck.lnk" "$INSTDIR\Orvanel RingDeck.exe"
!endif
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\RingDeck Help.lnk" "$INSTDIR\shuttle.chm"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvanel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\RingDeck Helper.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The control panel: WM_QUIT posted to its window's thread ends its message loop at once,
  ; without the question its Quit would ask (unsaved edits are dropped, as uninstalling means).
  FindWindow $0 "" "Orvanel RingDeck"
  ${If} $0 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, p 0) i .r1'
    System::Call 'user32::PostThreadMessageW(i r1, i ${WM_QUIT}, p 0, p 0)'
    !insertmacro WaitWhileWindow "" "Orvanel RingDeck"
  ${EndIf}

  ; A help viewer showing the help file holds it open; it closes without a question.
  StrCpy $1 0
  ${Do}
    FindWindow $0 "HH Parent" "RingDeck Help"
    ${If} $0 = 0
    ${OrIf} $1 >= 20
      ${Break}
    ${EndIf}
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 100
    IntOp $1 $1 + 1
  ${Loop}

  ; "-remove" ends the helper, stops the engine and removes its logon entry. With no engine
  ; running it says so in a message box, which a silent uninstall must not wait on: then the
  ; entry is removed and the helper ended here, as "-remove" does.
  FindWindow $0 "RingDeck Engine"
  ${If} $0 = 0
  ${AndIf} ${Silent}
    DeleteRegValue HKLM "${RUN_KEY}" "RingDeck Engine"
    FindWindow $1 "RingDeck Helper"
    ${If} $1 <> 0
      System::Call 'user32::PostMessageW(p r1, i ${WM_QUIT}, p 0, p 0)'
    ${EndIf}
  ${Else}
    ExecWait '"$INSTDIR\RingDeckEngine.exe" -remove'
  ${EndIf}
  !insertmacro WaitWhileWindow "RingDeck Helper" ""
  !insertmacro WaitWhileWindow "RingDeck Engine" ""
  DeleteRegValue HKLM "${RUN_KEY}" "RingDeck Helper"

  ; A process may outlive its window for a moment: what cannot go now goes at the next start.
  Delete /REBOOTOK "$INSTDIR\RingDeckEngine.exe"
  Delete /REBOOTOK "$INSTDIR\RingDeck Helper.exe"
  Delete /REBOOTOK "$INSTDIR\Orvanel RingDeck.exe"
  Delete "$INSTDIR\setupprep.exe"
  Delete "$INSTDIR\OrvanelRingDeck.pref2k"
  Delete "$INSTDIR\OrvanelRingDeck.pref98"
  Delete /REBOOTOK "$INSTDIR\shuttle.chm"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\Orvanel RingDeck.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\RingDeck Help.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The settings file in the system directory stays: it holds the user's sets.
SectionEnd
