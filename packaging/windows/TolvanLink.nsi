; The Windows installer of Tolvan Link, made by scripts/windows/build.sh from the staged release
; tree (packaging/Windows.cmake) with Debian's makensis:
;   makensis -DVERSION=1.07 -DSTAGE=<staged root> -DFILES=<files.nsh> -DOUTFILE=<setup.exe> TolvanLink.nsi
; FILES defines the macros INSTALL_FILES and REMOVE_FILES, generated from the same staged list so
; that the uninstaller removes exactly what the installer puts.
;
; The program reads its texts from C:\Orsolite\Tolvan Link and its other files behind its own
; drive, so the folder is fixed. What the site makes or changes is never touched, neither by an
; upgrade nor by the uninstaller: the catalogue once edited, the port file in Comuns, the image
; files in bin and anything else. The uninstaller lists what it kept in its details and in
; Uninstall.log beside it, which silent mode (/S) writes too.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include FileFunc.nsh
!include "${FILES}"

!define PRODUCT "Tolvan Link"
!define ROOT "C:\Orsolite"
!define COMMON "${ROOT}\Comuns"
!define CATALOGUE "Tabelas\TolvanLink.db"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TolvanLink"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${ROOT}\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

!insertmacro MUI_PAGE_LICENSE "${STAGE}\Orsolite\Tolvan Link\LICENSE.txt"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ; Not /D=: the program finds its texts on C: only.
    StrCpy $INSTDIR "${ROOT}\${PRODUCT}"
FunctionEnd

Section "Tolvan Link"
    SetShellVarContext all
    Delete "$INSTDIR\Uninstall.log"
    !insertmacro INSTALL_FILES
    CreateDirectory "$INSTDIR\bin"
    CreateDirectory "${COMMON}"
    IfFileExists "$INSTDIR\${CATALOGUE}" 0 new_catalogue
        DetailPrint "Kept the catalogue that is there: $INSTDIR\${CATALOGUE}"
        Goto catalogue_done
    new_catalogue:
        SetOutPath "$INSTDIR\Tabelas"
        File "${STAGE}\Orsolite\Tolvan Link\${CATALOGUE}"
    catalogue_done:

    ; The shortcut's working folder is the program's: the serial trace and log land there.
    SetOutPath "$INSTDIR"
    CreateShortCut "${SHORTCUT}" "$INSTDIR\TolvanLink.exe"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "Orsolite"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\TolvanLink.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

; un.SameBytes: pushes 1 when the two files on the stack hold the same bytes, else 0.
Function un.SameBytes
    Exch $R0
    Exch
    Exch $R1
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    StrCpy $R2 0
    ClearErrors
    FileOpen $R3 $R0 r
    IfErrors done
    FileOpen $R4 $R1 r
    IfErrors close_first
    FileSeek $R3 0 END $R5
    FileSeek $R4 0 END $R0
    StrCmp $R5 $R0 0 close
    FileSeek $R3 0 SET
    FileSeek $R4 0 SET
    compare:
        ClearErrors
        FileReadByte $R3 $R5
        IfErrors same
        FileReadByte $R4 $R0
        StrCmp $R5 $R0 compare close
    same:
        StrCpy $R2 1
    close:
        FileClose $R4
    close_first:
        FileClose $R3
    done:
    StrCpy $R0 $R2
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
    Exch $R0
FunctionEnd

Var KeptLog

; Called by Locate for each file left in the program's folder or in Comuns: the site's, kept. The
; log is opened with the first one.
Function un.Kept
    StrCmp $R9 "$INSTDIR\Uninstall.log" done
    StrCmp $KeptLog "" 0 write
        CreateDirectory "$INSTDIR"
        FileOpen $KeptLog "$INSTDIR\Uninstall.log" w
        FileWrite $KeptLog "${PRODUCT} ${VERSION} uninstalled; what the site made or changed is kept:$\r$\n"
    write:
    DetailPrint "Kept: $R9"
    FileWrite $KeptLog "Kept: $R9$\r$\n"
    done:
    Push 0
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    !insertmacro REMOVE_FILES
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$INSTDIR\Uninstall.log"
    Delete "${SHORTCUT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The catalogue goes only while it is still the empty one installed: an edited one is the
    ; site's.
    InitPluginsDir
    File "/oname=$PLUGINSDIR\TolvanLink.db" "${STAGE}\Orsolite\Tolvan Link\${CATALOGUE}"
    Push "$INSTDIR\${CATALOGUE}"
    Push "$PLUGINSDIR\TolvanLink.db"
    Call un.SameBytes
    Pop $0
    StrCmp $0 1 0 +2
        Delete "$INSTDIR\${CATALOGUE}"
    RMDir "$INSTDIR\Tabelas"
    RMDir "$INSTDIR\bin"
    RMDir "$INSTDIR"
    RMDir "${COMMON}"
    RMDir "${ROOT}"

    ; Another product's folders under the root (the launcher's) are not looked at.
    StrCpy $KeptLog ""
    IfFileExists "$INSTDIR\*.*" 0 program_listed
        ${Locate} "$INSTDIR" "/L=F /G=1" "un.Kept"
    program_listed:
    IfFileExists "${COMMON}\*.*" 0 common_listed
        ${Locate} "${COMMON}" "/L=F /G=1" "un.Kept"
    common_listed:
    StrCmp $KeptLog "" kept_listed
        FileClose $KeptLog
    kept_listed:
SectionEnd
