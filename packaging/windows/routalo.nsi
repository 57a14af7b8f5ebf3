; The Windows installer of Routalo, made by make-package:
;
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder of the files> -DICON=<.ico>
;            -DOUTFILE=<setup.exe> [-DWITH_WINDOW] routalo.nsi
;
; It installs for the current user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Routalo, and registers an uninstaller in Apps &
; Features. With WITH_WINDOW (the window program routalo.exe is in STAGE) it
; also makes a Start menu shortcut and offers Routalo in "Open with" for .csv
; files, leaving their default program alone. /S installs and uninstalls
; without a window.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; The files are installed without the dates they had here, so that the same
; sources make the same installer.
SetDateSave off
RequestExecutionLevel user
ManifestDPIAware true

!define NAME "Routalo"
!define PUBLISHER "The Routalo developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Routalo"
!define PROGID "Routalo.csv"
!define CLASSES "Software\Classes"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Routalo"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"
VIAddVersionKey "FileDescription" "${NAME} ${VERSION} setup"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; The GPL asks for no acceptance to use the program: the page informs.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Routalo is free software under the GNU General Public License, version 3 or later. You need not accept it to use the program."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\COPYING.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef WITH_WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\routalo.exe"
!endif
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Routalo"
  SetOutPath "$INSTDIR"
  File "${STAGE}\routalo-convert.exe"
  File "${STAGE}\routalo-convert.txt"
  File "${STAGE}\COPYING.txt"
  File "/oname=routalo.ico" "${ICON}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

!ifdef WITH_WINDOW
  File "${STAGE}\routalo.exe"
  File "${STAGE}\routalo.txt"
  CreateShortcut "$SMPROGRAMS\Routalo.lnk" "$INSTDIR\routalo.exe" "" "$INSTDIR\routalo.exe" 0

  ; "Open with" for .csv files: a ProgID of Routalo's own, named among the
  ; extension's OpenWithProgids, and the program under Applications. The
  ; extension's default program stays what it was.
  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "GPS track log"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\routalo.exe,0"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open" "FriendlyAppName" "Routalo"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\routalo.exe" "%1"'
  WriteRegNone HKCU "${CLASSES}\.csv\OpenWithProgids" "${PROGID}"
  WriteRegStr HKCU "${CLASSES}\Applications\routalo.exe" "FriendlyAppName" "Routalo"
  WriteRegStr HKCU "${CLASSES}\Applications\routalo.exe\SupportedTypes" ".csv" ""
  WriteRegStr HKCU "${CLASSES}\Applications\routalo.exe\shell\open\command" "" '"$INSTDIR\routalo.exe" "%1"'
  ; SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST): Explorer reads them again.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!endif

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\routalo.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the section above wrote, file by file: the folder goes only
; when nothing else is left in it, so a folder chosen by mistake keeps what
; was there before.
Section "Uninstall"
!ifdef WITH_WINDOW
  Delete "$SMPROGRAMS\Routalo.lnk"
  DeleteRegValue HKCU "${CLASSES}\.csv\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.csv\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.csv"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegKey HKCU "${CLASSES}\Applications\routalo.exe"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  Delete "$INSTDIR\routalo.exe"
  Delete "$INSTDIR\routalo.txt"
!endif
  Delete "$INSTDIR\routalo-convert.exe"
  Delete "$INSTDIR\routalo-convert.txt"
  Delete "$INSTDIR\COPYING.txt"
  Delete "$INSTDIR\routalo.ico"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
