; The Quellix setup program and its uninstaller.
;
; Per machine, into Program Files: the four programs, "version.dat",
; "server.dat" and "manual.chm"; the 32-bit browser-side libraries in "x86"
; (a 32-bit browser reads the 32-bit registry view and loads 32-bit helper
; objects only). Every COM server registers itself, each in its own view.
;
;   makensis -DVERSION=1.0.0.0 -DBIN_DIR=<64-bit bin> -DBIN32_DIR=<32-bit bin>
;            -DTLB32=<32-bit quellix.tlb> -DSOURCE_DIR=<source tree>
;            -DOUT_FILE=<setup.exe> quellix.nsi
;
; Edge and Chrome: the bridge qlxhost.exe and its host manifest, registered
; per machine for both browsers, and the extension, announced to both through
; their external-extension keys (the browsers fetch it from their stores) and
; kept unpacked in "browser-extension" for loading by hand.
;
; Exit codes besides NSIS's own (0 done, 1 cancelled by the user, 2 aborted):
;   3  Quellix is running and the run is silent (nothing was changed)
;   4  a COM server could not be registered
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!ifndef VERSION
    !error "VERSION is not defined"
!endif
!ifndef BIN_DIR
    !error "BIN_DIR is not defined"
!endif
!ifndef BIN32_DIR
    !error "BIN32_DIR is not defined"
!endif
!ifndef TLB32
    !error "TLB32 is not defined"
!endif
!ifndef SOURCE_DIR
    !error "SOURCE_DIR is not defined"
!endif
!ifndef OUT_FILE
    !error "OUT_FILE is not defined"
!endif

!define PRODUCT "Quellix"
!define SHORT_NAME "QLX"
!define PUBLISHER "Quellix"
; The tray program passes these two values to the updater by name.
!define PRODUCT_KEY "Software\Quellix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quellix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Quellix"
!define SERVICE_TYPELIB_KEY "TypeLib\{41AF1B1D-44A7-4678-97AF-838F2C6BA296}\1.0\0"
!define EXIT_PROGRAM_RUNNING 3
!define EXIT_REGISTRATION_FAILED 4
!define SYNCHRONIZE 0x00100000
!define BRIDGE_HOST "com.quellix.bridge"
!define EXTENSION_ID "nkmfncjapicelkhdcoipjghlpfmnjenf"
!define CHROME_HOSTS_KEY "Software\Google\Chrome\NativeMessagingHosts\${BRIDGE_HOST}"
!define EDGE_HOSTS_KEY "Software\Microsoft\Edge\NativeMessagingHosts\${BRIDGE_HOST}"
!define CHROME_EXTENSION_KEY "Software\Google\Chrome\Extensions\${EXTENSION_ID}"
!define EDGE_EXTENSION_KEY "Software\Microsoft\Edge\Extensions\${EXTENSION_ID}"
!define CHROME_STORE_URL "https://clients2.google.com/service/update2/crx"
!define EDGE_STORE_URL "https://edge.microsoft.com/extensionwebstorebase/v1/crx"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\QLX.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Files of a running QLX.exe are not replaced or removed under it: the user is
; asked to end it first; a silent run ends with its own exit code instead.
!macro DEFINE_WAIT_FOR_EXIT un
Function ${un}WaitUntilQuellixEnded
    ${Do}
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "QuellixMutex") p .r0'
        ${If} $0 = 0
            Return
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        ${If} ${Silent}
            SetErrorLevel ${EXIT_PROGRAM_RUNNING}
            Quit
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT} is running. Please exit it (Exit in its tray menu), then press Retry." \
            IDRETRY retry
        SetErrorLevel 1
        Quit
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_WAIT_FOR_EXIT ""
!insertmacro DEFINE_WAIT_FOR_EXIT "un."

; RUN "<command line>" "<what>": a failed registration ends the setup.
!macro RUN_REGISTRATION command what
    ExecWait `${command}` $0
    ${If} $0 <> 0
        DetailPrint "Registration failed (exit code $0): ${what}"
        MessageBox MB_OK|MB_ICONSTOP "${what} could not be registered (exit code $0)." /SD IDOK
        SetErrorLevel ${EXIT_REGISTRATION_FAILED}
        Quit
    ${EndIf}
!macroend

Function .onInit
    SetShellVarContext all
    SetRegView 64
    Call WaitUntilQuellixEnded
FunctionEnd

Section "Quellix" SecMain
    SectionIn RO
    SetShellVarContext all
    SetRegView 64
    Call WaitUntilQuellixEnded

    ; An upgrade replaces the program files only: the settings and history of
    ; each user (HKCU\Software\Quellix, %APPDATA%\Quellix) are never touched.
    SetOutPath "$INSTDIR"
    File "${BIN_DIR}/QLX.exe"
    File "${BIN_DIR}/qlxi.dll"
    File "${BIN_DIR}/QLXEng.dll"
    File "${BIN_DIR}/update.exe"
    File "${BIN_DIR}/manual.chm"
    File "${BIN_DIR}/version.dat"
    File "${BIN_DIR}/server.dat"
    ; The keys that may sign an update set.
    File "${BIN_DIR}/update.key"
    File "${BIN_DIR}/qlxhost.exe"
    File "${SOURCE_DIR}/bridge/win32/${BRIDGE_HOST}.json"
    SetOutPath "$INSTDIR\browser-extension"
    File "${SOURCE_DIR}/browser-extension/manifest.json"
    File "${SOURCE_DIR}/browser-extension/worker.js"
    File "${SOURCE_DIR}/browser-extension/clicks.js"
    SetOutPath "$INSTDIR\x86"
    File "${BIN32_DIR}/qlxi.dll"
    File "${BIN32_DIR}/QLXEng.dll"
    File "${TLB32}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${PRODUCT_KEY}" "AppName" "${PRODUCT}"
    WriteRegStr HKLM "${PRODUCT_KEY}" "AppShortName" "${SHORT_NAME}"

    !insertmacro RUN_REGISTRATION '"$INSTDIR\QLX.exe" /RegServer' "QLX.exe"
    ; A 32-bit browser's integrator calls the popup service through the type
    ; library marshaler, which looks the library up for its own bitness.
    WriteRegStr HKCR "${SERVICE_TYPELIB_KEY}\win32" "" "$INSTDIR\x86\quellix.tlb"
    !insertmacro RUN_REGISTRATION '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\qlxi.dll"' "qlxi.dll"
    !insertmacro RUN_REGISTRATION '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\QLXEng.dll"' "QLXEng.dll"
    ; The 32-bit regsvr32 writes the 32-bit registry view.
    ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
        !insertmacro RUN_REGISTRATION '"$WINDIR\SysWOW64\regsvr32.exe" /s "$INSTDIR\x86\qlxi.dll"' \
            "qlxi.dll (32-bit)"
        !insertmacro RUN_REGISTRATION '"$WINDIR\SysWOW64\regsvr32.exe" /s "$INSTDIR\x86\QLXEng.dll"' \
            "QLXEng.dll (32-bit)"
    ${EndIf}

    ; Edge and Chrome find the bridge in the native view; they read their
    ; external-extension keys from the 32-bit view.
    WriteRegStr HKLM "${CHROME_HOSTS_KEY}" "" "$INSTDIR\${BRIDGE_HOST}.json"
    WriteRegStr HKLM "${EDGE_HOSTS_KEY}" "" "$INSTDIR\${BRIDGE_HOST}.json"
    SetRegView 32
    WriteRegStr HKLM "${CHROME_EXTENSION_KEY}" "update_url" "${CHROME_STORE_URL}"
    WriteRegStr HKLM "${EDGE_EXTENSION_KEY}" "update_url" "${EDGE_STORE_URL}"
    SetRegView 64

    ; Shortcuts start in the program folder (SetOutPath above).
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\QLX.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} Manual.lnk" "$INSTDIR\manual.chm"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QLX.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
    Call un.WaitUntilQuellixEnded
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    SetRegView 64

    ; The classes go first, while each server is there to unregister itself.
    ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
        ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /u /s "$INSTDIR\x86\qlxi.dll"'
        ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /u /s "$INSTDIR\x86\QLXEng.dll"'
    ${EndIf}
    ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\qlxi.dll"'
    ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\QLXEng.dll"'
    DeleteRegKey HKCR "${SERVICE_TYPELIB_KEY}\win32"
    ExecWait '"$INSTDIR\QLX.exe" /UnregServer'

    DeleteRegKey HKLM "${CHROME_HOSTS_KEY}"
    DeleteRegKey HKLM "${EDGE_HOSTS_KEY}"
    SetRegView 32
    DeleteRegKey HKLM "${CHROME_EXTENSION_KEY}"
    DeleteRegKey HKLM "${EDGE_EXTENSION_KEY}"
    SetRegView 64

    RMDir /r "$SMPROGRAMS\${PRODUCT}"
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The user's settings and history stay unless the user asks otherwise; a
    ; silent uninstall keeps them.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Also remove your ${PRODUCT} settings and pop-up history?" /SD IDNO IDNO keep
    SetShellVarContext current
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    RMDir /r "$APPDATA\${PRODUCT}"
    keep:

    ; The program folder goes last: its absence tells that all is done.
    Delete "$INSTDIR\x86\qlxi.dll"
    Delete "$INSTDIR\x86\QLXEng.dll"
    Delete "$INSTDIR\x86\quellix.tlb"
    RMDir "$INSTDIR\x86"
    Delete "$INSTDIR\QLX.exe"
    Delete "$INSTDIR\qlxi.dll"
    Delete "$INSTDIR\QLXEng.dll"
    Delete "$INSTDIR\update.exe"
    Delete "$INSTDIR\manual.chm"
    Delete "$INSTDIR\version.dat"
    Delete "$INSTDIR\server.dat"
    Delete "$INSTDIR\qlxhost.exe"
    Delete "$INSTDIR\${BRIDGE_HOST}.json"
    Delete "$INSTDIR\browser-extension\manifest.json"
    Delete "$INSTDIR\browser-extension\worker.js"
    Delete "$INSTDIR\browser-extension\clicks.js"
    RMDir "$INSTDIR\browser-extension"
    Delete "$INSTDIR\update.key"
    Delete "$INSTDIR\update.journal"
    ; What the programs leave in their folder: the update schedule of a
    ; program started from its shortcut, the updater's log and report.
    Delete "$INSTDIR\Program.upd"
    Delete "$INSTDIR\update.log"
    Delete "$INSTDIR\diagnosis.dat"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
