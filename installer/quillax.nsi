; The Windows installer of the product: one setup program that puts a complete installation in
; place and hands the machine's preparation to the set-up tool.
;
;   makensis -DSTAGE=DIR -DOUTDIR=DIR -DARCH=x86|amd64 [-DWITH_X64] quillax.nsi
;
; STAGE is the staged installation (installer/build.sh makes it): STAGE/cfg is the configuration
; directory with the engine library and envoke.exe, STAGE/update/cvupdate.exe the updater and,
; with WITH_X64, STAGE/x64/quillax.dll the 64-bit engine that a 32-bit installation adds on
; 64-bit Windows. ARCH amd64 builds the installer of the 64-bit build, whose own library is the
; 64-bit one. The installer is written to OUTDIR/quillax-setup-VERSION.exe, VERSION being the
; engine library's file version.
;
; The installation goes by default into the user's own programs folder, so that bible.ini and
; usr\ stay writable by the engine and the registry values land in the user's HKCU; /D= picks
; another folder and /S installs without a window. After the files, cfg\envoke.exe runs from the
; configuration directory: it registers the engine, builds the indexes, makes the shortcuts and
; writes HKCU\Software\quillax (with -q when silent, so that its closing notice shows only in an
; interactive install). An upgrade keeps the user's bible.ini: the shipped one is merged into it
; by the updater's merge, and the modules of usr\ that the product does not ship stay as they are.
;
; The entry in the list of installed programs runs uninstall.exe, which leaves the uninstall to
; envoke.exe -uninstall (its question, what it deletes) and afterwards removes only what the tool
; does not know: the list entry and itself. The set-up tool registers and unregisters the 64-bit
; engine of a 32-bit installation (cfg\x64\quillax.dll) in the 64-bit view beside its own.

Unicode true
!if "${ARCH}" == "amd64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!getdllversion "${STAGE}/cfg/quillax.dll" engine_version_
!define VERSION "${engine_version_1}.${engine_version_2}.${engine_version_3}.${engine_version_4}"
!define PRODUCT "Tessaly"
!define PUBLISHER "Tessaly 圣经研读工具开发组"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quillax"

Name "${PRODUCT}"
OutFile "${OUTDIR}/quillax-setup-${VERSION}.exe"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section "Install"
  SetOverwrite on
  SetOutPath "$INSTDIR\cfg"
  ; Everything of the configuration directory but bible.ini, which an upgrade merges.
  File /r /x bible.ini "${STAGE}/cfg/*"
  StrCpy $0 0
  ${If} ${FileExists} "$INSTDIR\cfg\bible.ini"
    File "/oname=bible.ini.new" "${STAGE}/cfg/bible.ini"
    StrCpy $0 1
  ${Else}
    File "${STAGE}/cfg/bible.ini"
  ${EndIf}
  SetOutPath "$INSTDIR\update"
  File "${STAGE}/update/cvupdate.exe"
!ifdef WITH_X64
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\cfg\x64"
    File "${STAGE}/x64/quillax.dll"
  ${EndIf}
!endif

  ; The user's settings stay; the shipped file adds what an update would add to them.
  ${If} $0 == 1
    SetOutPath "$INSTDIR\cfg"
    DetailPrint "bible.ini: 保留原有设置并合并新版本的内容"
    ExecWait '"$INSTDIR\update\cvupdate.exe" -mergeini bible.ini bible.ini.new' $1
    Delete "$INSTDIR\cfg\bible.ini.new"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The set-up tool starts in the configuration directory, so that it takes it as its own.
  SetOutPath "$INSTDIR\cfg"
  ${If} ${Silent}
    ExecWait '"$INSTDIR\cfg\envoke.exe" -q' $1
  ${Else}
    ExecWait '"$INSTDIR\cfg\envoke.exe"' $1
  ${EndIf}
  SetOutPath "$INSTDIR"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\cfg\envoke.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

Section "Uninstall"
  ; The set-up tool asks and reports; this window only shows the steps and closes.
  SetAutoClose true
  ; Started from the configuration directory, the tool hands the uninstall to a copy of itself
  ; in the installation folder, which asks the user and deletes; the copy's file goes when it
  ; ends. A copy left over from a broken run is not waited for beyond half an hour.
  SetOutPath "$INSTDIR\cfg"
  ExecWait '"$INSTDIR\cfg\envoke.exe" -uninstall' $1
  SetOutPath "$TEMP"
  StrCpy $2 0
  ${DoWhile} ${FileExists} "$INSTDIR\Envoke.exe"
    ${IfThen} $2 >= 7200 ${|} ${Break} ${|}
    Sleep 250
    IntOp $2 $2 + 1
  ${Loop}
  ; Answered No, the installation stays and so does its entry.
  ${If} ${FileExists} "$INSTDIR\cfg\bible.ini"
    DetailPrint "卸载已取消，安装保持不变。"
    Return
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when nothing of the user's is left in it.
  RMDir "$INSTDIR"
SectionEnd
