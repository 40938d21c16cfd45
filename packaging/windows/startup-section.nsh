; A choice on the installer's components page: start the logger at log-in, already connected, as the
; Linux autostart entry does. The shortcut goes in the Startup folder of every user, since the program
; is installed for every user; the uninstaller removes it (see CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS).
Section "Iniciar com o Windows, conectado" startup
  CreateShortCut "$SMSTARTUP\Log de chamadas.lnk" "$INSTDIR\logchamadas.exe" "--conectar" \
    "$INSTDIR\logchamadas.exe" 0
SectionEnd
