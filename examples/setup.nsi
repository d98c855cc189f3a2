; An installer that calls CorvaneFileCleanup the way Corvane's Setup does:
; it installs the program with the product, lets it delete the corvane.ini
; and corvane.mdb files an earlier installation left elsewhere on the drive,
; and acts on its exit code. Build it beside CorvaneFileCleanup.exe and the
; product's corvane.ini:
;
;   makensis setup.nsi       makes CorvaneSetup.exe
;   CorvaneSetup.exe         the user answers the cleanup's questions
;   CorvaneSetup.exe /S      a silent install: the cleanup asks nothing either

Unicode true
!include LogicLib.nsh

Name "Corvane"
OutFile "CorvaneSetup.exe"
InstallDir "$PROGRAMFILES\Corvane"
RequestExecutionLevel admin

Page directory
Page instfiles

Section
  SetOutPath "$INSTDIR"
  File "CorvaneFileCleanup.exe"
  ; The product's own settings: the cleanup spares every file under $INSTDIR.
  File "corvane.ini"

  ; The folder goes last, in double quotes, with its trailing backslash: the
  ; program spares every path that contains it (so C:\Corvane\ does not
  ; spare C:\Corvane2\) and searches the whole drive it is on.
  ClearErrors
  ${If} ${Silent}
    ; No question and no window; an error is written to the program's trace
    ; log and passed over.
    ExecWait '"$INSTDIR\CorvaneFileCleanup.exe" CLEANUP,SILENT,"$INSTDIR\"' $0
  ${Else}
    ; The user confirms, watches the search, and answers any error report
    ; with Abort, Retry or Ignore.
    ExecWait '"$INSTDIR\CorvaneFileCleanup.exe" CLEANUP,"$INSTDIR\"' $0
  ${EndIf}

  ; 0: the cleanup ran to its end (or the user said Corvane was never
  ; installed here); in a silent install, every file it found was deleted.
  ; Anything else is the number of a run-time error: 70 a leftover is held
  ; open by another program, 75 it cannot be deleted, 53 it was gone. An
  ; attended run stopped there (the user chose Abort); a silent one went on
  ; with the rest and reports the first. ExecWait sets the error flag instead
  ; when the program could not be started at all.
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
  FileOpen $1 "$INSTDIR\install.log" a
  FileSeek $1 0 END
  FileWrite $1 "Cleanup of earlier files: $0$\r$\n"
  FileClose $1
  ${If} $0 != 0
    DetailPrint "Some files of an earlier installation remain (cleanup: $0)."
    ; The new installation is whole either way, so this one goes on. To stop
    ; instead, and hand the code to whoever started Setup:
    ;   SetErrorLevel $0
    ;   Abort
  ${EndIf}
SectionEnd
