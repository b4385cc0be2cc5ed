; Vexel's installer. It installs for the current user only, needs no
; administrator rights, and on an update or removal touches only the files
; it installs itself: the user's Vexel.ini and keys files (*.km) stay.
;
;   makensis -DVERSION=<version> -DSTAGE=<folder with the files> -DICON=<Vexel.ico>
;            -DPRODUCT_INFO=<src/app/ProductInfo.h> -DOUTFILE=<setup.exe> Vexel.nsi
;
; Switches of the installer, besides NSIS's own /S and /D=<folder>:
;   /STARTUP=1  add Vexel to the user's start-up folder
;   /STARTUP=0  remove it from there
; Without the switch an update keeps the start-up entry as it was, and a
; first silent installation adds none.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!searchparse /file "${PRODUCT_INFO}" '#define VEXEL_COMPANY "' COMPANY '"'
!searchparse /file "${PRODUCT_INFO}" '#define VEXEL_FULL_NAME "' FULL_NAME '"'
!searchparse /file "${PRODUCT_INFO}" '#define VEXEL_WEB_HOST "' WEB_HOST '"'
!searchparse /file "${PRODUCT_INFO}" '#define VEXEL_NOTICE "' NOTICE_YEAR '" VEXEL_COMPANY'

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexel"
!define EXAMPLE "Examples\SonyEricsson.km"
!define MEDIA_EXAMPLE "Examples\Media.km"

Name "Vexel"
Caption "Vexel ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vexel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vexel ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vexel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Vexel ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${NOTICE_YEAR}${COMPANY}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vexel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Vexel"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The program's files, installed by File and removed by Delete from one list.
; Tools\ holds the simulated phone and vexelctl.
!macro ProgramFiles DO
  !insertmacro ${DO} "Vexel.exe"
  !insertmacro ${DO} "Help.chm"
  !insertmacro ${DO} "readme.txt"
  !insertmacro ${DO} "Tools\phonesim.exe"
  !insertmacro ${DO} "Tools\vexelctl.exe"
!macroend
!macro InstallFile NAME
  File "/oname=${NAME}" "${STAGE}\${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; Files in use cannot be replaced or removed: wait until Vexel has ended.
; Vexel holds the mutex VexelInstMutex while it runs. A silent run gives up,
; with exit code 2.
!macro WaitUntilVexelEnds
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "VexelInstMutex") p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vexel is running.$\r$\nExit it (tray icon, Exit), then press Retry." /SD IDCANCEL IDRETRY +3
    SetErrorLevel 2
    Quit
  ${Loop}
!macroend

Section "Vexel" SecProgram
  SectionIn RO
  !insertmacro WaitUntilVexelEnds

  SetOutPath "$INSTDIR"
  CreateDirectory "$INSTDIR\Tools"
  !insertmacro ProgramFiles InstallFile
  ; The example is the installer's own: read-only, so that the user saves an
  ; edited key map under a name of their own, which updates leave alone.
  SetOutPath "$INSTDIR\Examples"
  SetFileAttributes "$INSTDIR\${EXAMPLE}" NORMAL
  File "${STAGE}\${EXAMPLE}"
  SetFileAttributes "$INSTDIR\${EXAMPLE}" READONLY
  SetFileAttributes "$INSTDIR\${MEDIA_EXAMPLE}" NORMAL
  File "${STAGE}\${MEDIA_EXAMPLE}"
  SetFileAttributes "$INSTDIR\${MEDIA_EXAMPLE}" READONLY

  SetOutPath "$INSTDIR"  ; the shortcuts' working folder
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vexel.lnk" "$INSTDIR\Vexel.exe" "" "" 0 SW_SHOWNORMAL "" \
    "Vexel - ${FULL_NAME}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vexel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vexel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://${WEB_HOST}/"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start Vexel when I log on" SecStartup
  CreateShortcut "$SMSTARTUP\Vexel.lnk" "$INSTDIR\Vexel.exe"
SectionEnd

Section "-StartupOff"
  ${IfNot} ${SectionIsSelected} ${SecStartup}
    Delete "$SMSTARTUP\Vexel.lnk"
  ${EndIf}
SectionEnd

Function .onInit
  ; An update keeps the start-up entry as it is; /STARTUP= overrides.
  ${If} ${FileExists} "$SMSTARTUP\Vexel.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTUP=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      !insertmacro SelectSection ${SecStartup}
    ${ElseIf} $1 == "0"
      !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro WaitUntilVexelEnds

  !insertmacro ProgramFiles RemoveFile
  RMDir "$INSTDIR\Tools"
  SetFileAttributes "$INSTDIR\${EXAMPLE}" NORMAL
  Delete "$INSTDIR\${EXAMPLE}"
  SetFileAttributes "$INSTDIR\${MEDIA_EXAMPLE}" NORMAL
  Delete "$INSTDIR\${MEDIA_EXAMPLE}"
  RMDir "$INSTDIR\Examples"
  Delete "$SMPROGRAMS\Vexel.lnk"
  Delete "$SMSTARTUP\Vexel.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  ; Not /r: the folder stays while it holds the user's Vexel.ini or keys files.
  RMDir "$INSTDIR"
SectionEnd
