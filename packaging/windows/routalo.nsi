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
;
; The uninstaller removes what the installer made and nothing else: the
; folders and registry keys above Routalo's own that the installer had to
; make (%LOCALAPPDATA%\Programs, the Uninstall key of a user who never had
; one) go again when nothing else has come into them; those that were there
; before stay.

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
!include "LogicLib.nsh"
!include "WinMessages.nsh"

; The keys above Routalo's own that the installer may have to make. The
; uninstall entry notes, as the DWORD value "Made KEY" = 1, each of them
; that was not there before.
!define APPLICATIONS_KEY "${CLASSES}\Applications"
!define CSV_KEY "${CLASSES}\.csv"
!define OPEN_WITH_KEY "${CLASSES}\.csv\OpenWithProgids"
!define UNINSTALL_PARENT "Software\Microsoft\Windows\CurrentVersion\Uninstall"

; Notes in the uninstall entry that KEY (under HKCU) is about to be made,
; unless it is there already. A note of an earlier install stays, so that
; installing again over it keeps what the first install made.
!macro NoteKeyMade KEY
  ClearErrors
  EnumRegKey $R0 HKCU "${KEY}" 0
  ${If} ${Errors}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "Made ${KEY}" 1
  ${EndIf}
!macroend

; Deletes KEY (under HKCU) when the install made it and it holds neither a
; key nor a value. A value may have the empty name, which EnumRegValue
; gives as the empty text: the default value is read as well, and the
; second value looked for.
!macro DeleteKeyIfMadeAndEmpty KEY
  ReadRegDWORD $R0 HKCU "${UNINSTALL_KEY}" "Made ${KEY}"
  ${If} $R0 == 1
    ClearErrors
    EnumRegKey $R1 HKCU "${KEY}" 0
    EnumRegValue $R2 HKCU "${KEY}" 0
    EnumRegValue $R3 HKCU "${KEY}" 1
    ReadRegStr $R4 HKCU "${KEY}" ""
    ${If} "$R1$R2$R3$R4" == ""
      DeleteRegKey /ifempty HKCU "${KEY}"
    ${EndIf}
  ${EndIf}
!macroend

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; The window's title is NSIS's caption followed by the page's, which the
; Modern UI sets to a blank: "Routalo Setup ". Every page shows the caption
; alone. MUI_PAGE_CUSTOMFUNCTION_SHOW holds for the next page only.
!macro TITLED
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowTitle
!macroend
!macro UN_TITLED
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ShowTitle
!macroend
Function ShowTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:${NAME} Setup"
FunctionEnd
Function un.ShowTitle
  SendMessage $HWNDPARENT ${WM_SETTEXT} 0 "STR:${NAME} Uninstall"
FunctionEnd

; The GPL asks for no acceptance to use the program: the page informs.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Routalo is free software under the GNU General Public License, version 3 or later. You need not accept it to use the program."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro TITLED
!insertmacro MUI_PAGE_LICENSE "${STAGE}\COPYING.txt"
!insertmacro TITLED
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro TITLED
!insertmacro MUI_PAGE_INSTFILES
!ifdef WITH_WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\routalo.exe"
!endif
!insertmacro TITLED
!insertmacro MUI_PAGE_FINISH

!insertmacro UN_TITLED
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro UN_TITLED
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Routalo"
  ; The first folder of the path to $INSTDIR that does not exist yet (none
  ; when $INSTDIR does): SetOutPath makes it and those below it.
  StrCpy $R0 "$INSTDIR"
  StrCpy $R1 ""
  ${DoWhile} $R0 != ""
    ${If} ${FileExists} "$R0\*.*"
      ${Break}
    ${EndIf}
    StrCpy $R1 "$R0"
    ${GetParent} "$R0" $R0
  ${Loop}
  ; First of all, since every note goes into the entry under it.
  !insertmacro NoteKeyMade "${UNINSTALL_PARENT}"
  ; An earlier install's entry keeps its notes.
  ClearErrors
  ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "DisplayName"
  ${If} ${Errors}
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Made folder" "$R1"
  ${EndIf}
!ifdef WITH_WINDOW
  !insertmacro NoteKeyMade "${APPLICATIONS_KEY}"
  !insertmacro NoteKeyMade "${CSV_KEY}"
  !insertmacro NoteKeyMade "${OPEN_WITH_KEY}"
!endif

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

; Removes what the section above wrote, file by file: a folder goes only
; when nothing else is left in it, so a folder chosen by mistake keeps what
; was there before. The keys and folders above Routalo's own go when the
; install made them and they are empty; the notes of that are read from the
; uninstall entry before it goes.
Section "Uninstall"
!ifdef WITH_WINDOW
  Delete "$SMPROGRAMS\Routalo.lnk"
  DeleteRegValue HKCU "${OPEN_WITH_KEY}" "${PROGID}"
  !insertmacro DeleteKeyIfMadeAndEmpty "${OPEN_WITH_KEY}"
  !insertmacro DeleteKeyIfMadeAndEmpty "${CSV_KEY}"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegKey HKCU "${APPLICATIONS_KEY}\routalo.exe"
  !insertmacro DeleteKeyIfMadeAndEmpty "${APPLICATIONS_KEY}"
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
  ; The folders above $INSTDIR, up to the first one the install made; never
  ; one that is not below that one.
  ReadRegStr $R5 HKCU "${UNINSTALL_KEY}" "Made folder"
  StrLen $R8 "$R5"
  StrCpy $R6 "$INSTDIR"
  ${If} $R5 != ""
    ${Do}
      StrLen $R9 "$R6"
      ${If} $R6 == $R5
      ${OrIf} $R9 <= $R8
        ${Break}
      ${EndIf}
      ${GetParent} "$R6" $R6
      RMDir "$R6"
    ${Loop}
  ${EndIf}
  ReadRegDWORD $R7 HKCU "${UNINSTALL_KEY}" "Made ${UNINSTALL_PARENT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} $R7 == 1
    ClearErrors
    EnumRegKey $R1 HKCU "${UNINSTALL_PARENT}" 0
    EnumRegValue $R2 HKCU "${UNINSTALL_PARENT}" 0
    EnumRegValue $R3 HKCU "${UNINSTALL_PARENT}" 1
    ReadRegStr $R4 HKCU "${UNINSTALL_PARENT}" ""
    ${If} "$R1$R2$R3$R4" == ""
      DeleteRegKey /ifempty HKCU "${UNINSTALL_PARENT}"
    ${EndIf}
  ${EndIf}
SectionEnd
