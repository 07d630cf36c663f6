; The Windows installer: both programs, the hand cursor, the example skin, the licence and the
; notices of what the programs link into Program Files, a Start menu entry, and an uninstaller
; registered in Apps & features that removes exactly the files it installed. Silent with /S.
; Built by scripts/package:
;   makensis -DVERSION=0.1.0 -DBIN=<folder of the files> -DOUTFILE=<installer> installer.nsi
; Only NSIS's built-in commands are used: Debian's NSIS has its plug-ins for 32-bit installers
; only, and this one is a 64-bit program.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Tarnvex Card Exporter"
!define PUBLISHER "Tarnvex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnvex Card Exporter"
!define START_MENU_ENTRY "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
!ifdef ICON
Icon "${ICON}"
UninstallIcon "${ICON}"
!endif

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 The Tarnvex Card Exporter authors (MIT License)"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${BIN}\tarnvex-export.exe"
  File "${BIN}\HAND-M.CUR"
  File "${BIN}\LICENSE.txt"
  File "${BIN}\THIRD-PARTY-NOTICES.txt"
!if /FileExists "${BIN}\tarnvex-card-exporter.exe"
  File "${BIN}\tarnvex-card-exporter.exe"
  CreateShortCut "${START_MENU_ENTRY}" "$INSTDIR\tarnvex-card-exporter.exe"
!endif
  SetOutPath "$INSTDIR\x"
  File "${BIN}\x\o.cjs"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
!if /FileExists "${BIN}\tarnvex-card-exporter.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnvex-card-exporter.exe"
!endif
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "${SIZE_KB}"
SectionEnd

; Removes the files one by one and the folders only when empty: whatever else the user keeps in
; the folder stays.
Section "Uninstall"
  Delete "${START_MENU_ENTRY}"
  Delete "$INSTDIR\tarnvex-card-exporter.exe"
  Delete "$INSTDIR\tarnvex-export.exe"
  Delete "$INSTDIR\HAND-M.CUR"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\x\o.cjs"
  RMDir "$INSTDIR\x"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
