; A choice on the installer's components page, off unless the service is registered already: capture
; from boot with nobody logged in, logchamadas.exe --servico under the service manager, started at
; boot and again after a failure. CPack's own sections, which install the files, come after this
; one, so the section only records the choice and the work is done around the files:
; LogchamadasServiceBeforeFiles stops a registered service (its program is about to be replaced) and
; removes it, LogchamadasServiceAfterFiles registers and starts it when chosen. A silent install has no
; components page: it keeps a registered service, and /SERVICO registers one. The uninstaller stops
; and removes it (un.LogchamadasServiceRemove).
!include LogicLib.nsh
!include FileFunc.nsh

Var LogchamadasServiceWasRegistered

Section /o "Serviço do Windows: capturar sem ninguém conectado" service
SectionEnd

!define MUI_CUSTOMFUNCTION_GUIINIT LogchamadasServiceGuiInit
Function LogchamadasServiceGuiInit
  nsExec::Exec '"$SYSDIR\sc.exe" query logchamadas'
  Pop $0
  ${If} $0 == 0
    !insertmacro SelectSection ${service}
  ${EndIf}
FunctionEnd

; Stops and removes the service; once the manager says it stopped, waits (30 s at most) for the
; process to end, which frees logchamadas.exe for replacing or deleting.
!macro LogchamadasServiceRemoveFunction UN
Function ${UN}LogchamadasServiceRemove
  nsExec::Exec '"$SYSDIR\sc.exe" query logchamadas'
  Pop $0
  ${If} $0 != 0
    Return
  ${EndIf}
  nsExec::Exec '"$SYSDIR\net.exe" stop logchamadas'
  Pop $0
  ${For} $1 1 60
    ${IfNot} ${FileExists} "$INSTDIR\logchamadas.exe"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $2 "$INSTDIR\logchamadas.exe" a
    ${IfNot} ${Errors}
      FileClose $2
      ${Break}
    ${EndIf}
    Sleep 500
  ${Next}
  nsExec::Exec '"$SYSDIR\sc.exe" delete logchamadas'
  Pop $0
FunctionEnd
!macroend
!insertmacro LogchamadasServiceRemoveFunction ""
!insertmacro LogchamadasServiceRemoveFunction "un."

Function LogchamadasServiceBeforeFiles
  nsExec::Exec '"$SYSDIR\sc.exe" query logchamadas'
  Pop $0
  ${If} $0 == 0
    StrCpy $LogchamadasServiceWasRegistered 1
  ${EndIf}
  Call LogchamadasServiceRemove
FunctionEnd

Function LogchamadasServiceAfterFiles
  StrCpy $R2 0
  ${If} ${SectionIsSelected} ${service}
    StrCpy $R2 1
  ${ElseIf} ${Silent}
    ${If} $LogchamadasServiceWasRegistered == 1
      StrCpy $R2 1
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/SERVICO" $R1
    ${IfNot} ${Errors}
      StrCpy $R2 1
    ${EndIf}
  ${EndIf}
  ${If} $R2 != 1
    Return
  ${EndIf}
  nsExec::Exec '"$SYSDIR\sc.exe" create logchamadas binPath= "\"$INSTDIR\logchamadas.exe\" --servico" start= auto DisplayName= "Log de chamadas"'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "O serviço logchamadas não pôde ser registrado (sc create: erro $0)." /SD IDOK
    SetErrorLevel 2
    Return
  ${EndIf}
  nsExec::Exec '"$SYSDIR\sc.exe" description logchamadas "Lê as chamadas da central desde o início do Windows, sem ninguém conectado; a janela do Log de chamadas mostra o que ele recebe."'
  Pop $0
  ; Restarted 5 s after a failure, twice, then every minute; the count starts again after a day.
  nsExec::Exec '"$SYSDIR\sc.exe" failure logchamadas reset= 86400 actions= restart/5000/restart/5000/restart/60000'
  Pop $0
  ; An end with a status other than 0 is a failure too, not only a crash (Wine's sc lacks it).
  nsExec::Exec '"$SYSDIR\sc.exe" failureflag logchamadas 1'
  Pop $0
  nsExec::Exec '"$SYSDIR\sc.exe" start logchamadas'
  Pop $0
FunctionEnd
