# Installs the program for a Debian machine and packs it with CPack's DEB generator:
#   cmake --build --preset default --target package   ->   build/default/logchamadas_<version>_<arch>.deb
# The manual pages are written in scdoc (packaging/*.scd) and rendered here.

include(GNUInstallDirs)

set(LOGCHAMADAS_PACKAGE_MAINTAINER "logchamadas maintainers <maintainers@logchamadas.example>"
    CACHE STRING "Maintainer field of the Debian package")

if(NOT LOGCHAMADAS_DB_PASSWORD STREQUAL "")
  message(WARNING "LOGCHAMADAS_DB_PASSWORD is set: the program, and a package made from this build, "
                  "carry it readable by anyone who can read the file. Keep it in the data source instead.")
endif()

set(packaging_dir ${CMAKE_SOURCE_DIR}/packaging)

# Windows: a setup program made with CPack's NSIS generator (Debian's makensis):
#   cmake --build --preset mingw --target package   ->   build/mingw/logchamadas-<version>-win64.exe
# It installs for every user into Program Files, adds the Start-menu entry, offers the Startup-folder
# shortcut and the service, and its uninstaller removes what it installed only: the journals in
# %LOCALAPPDATA% and the service's in %ProgramData% stay. The installed programs are stripped.
if(WIN32)
  install(TARGETS logchamadas RUNTIME DESTINATION . COMPONENT programa)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/host/sql/ DESTINATION sql COMPONENT programa)
  # Where the settings live on Windows, the example says in its comments.
  install(FILES ${packaging_dir}/logchamadas.conf DESTINATION . RENAME exemplo-logchamadas.ini COMPONENT programa)
  install(TARGETS exchangesim RUNTIME DESTINATION . COMPONENT simulador)

  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_NAME logchamadas)
  set(CPACK_PACKAGE_VENDOR logchamadas)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT ${LOGCHAMADAS_PACKAGE_MAINTAINER})
  set(CPACK_PACKAGE_FILE_NAME logchamadas-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY logchamadas)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY logchamadas)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_PACKAGE_NAME "Log de chamadas")
  set(CPACK_NSIS_DISPLAY_NAME "Log de chamadas")
  set(CPACK_NSIS_INSTALLED_ICON_NAME logchamadas.exe)
  # The Start-menu entry; the programs sit in the install folder itself, not in a bin folder.
  set(CPACK_PACKAGE_EXECUTABLES "logchamadas;Log de chamadas")
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  # CPack names the uninstaller's entry in English: it is made again as "Desinstalar". Beside the
  # program, its settings dialog.
  set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Desinstalar.lnk' '$INSTDIR\\\\Uninstall.exe'
  CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Configurar log de chamadas.lnk' '$INSTDIR\\\\logchamadas.exe' '--configurar'")
  # The service (packaging/windows/service-section.nsh) is stopped before its program is replaced and
  # registered once the files are in place.
  set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "Call LogchamadasServiceBeforeFiles")
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "Delete '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Uninstall.lnk'
  Call LogchamadasServiceAfterFiles")
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Desinstalar.lnk'
  Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Configurar log de chamadas.lnk'")
  # The Startup shortcut is a section of its own, so it shows as a choice beside the components. The
  # icon code is the one place CPack's script takes text of ours at its top level (it fills its own
  # CPACK_NSIS_DEFINES), so the section is included there with the program's icon.
  set(program_ico ${CMAKE_BINARY_DIR}/window/logchamadas.ico)
  # A 64-bit setup program for the 64-bit programs runs where they run, a 64-bit-only Wine too.
  set(CPACK_NSIS_INSTALLER_MUI_ICON_CODE "Target amd64-unicode
!define MUI_ICON '${program_ico}'
!define MUI_UNICON '${program_ico}'
!include '${packaging_dir}/windows/startup-section.nsh'
!include '${packaging_dir}/windows/service-section.nsh'")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.LogchamadasServiceRemove
  Delete '$SMSTARTUP\\\\Log de chamadas.lnk'")
  set(CPACK_COMPONENTS_ALL programa simulador)
  include(CPack)
  cpack_add_component(programa DISPLAY_NAME "Log de chamadas" REQUIRED
    DESCRIPTION "O programa e os scripts das tabelas do banco do host.")
  cpack_add_component(simulador DISPLAY_NAME "Simulador da central"
    DESCRIPTION "exchangesim.exe, para conferir a ligação serial sem a central.")
  return()
endif()

set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/logchamadas)
set(share_dir ${CMAKE_INSTALL_DATADIR}/logchamadas)
set(package_release 1)

# Debian wants manual pages and the changelog compressed, reproducibly (gzip -n: no name, no time).
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)
set(rendered_docs)
foreach(page logchamadas logchamadas-exchangesim)
  set(source ${packaging_dir}/${page}.1.scd)
  set(output ${packaging_out}/${page}.1.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "\"$0\" <\"$1\" | \"$2\" -9n >\"$3\"" ${SCDOC} ${source} ${GZIP} ${output}
    DEPENDS ${source} VERBATIM)
  list(APPEND rendered_docs ${output})
endforeach()

string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog ${packaging_out}/changelog.Debian)
file(WRITE ${changelog}.in
  "logchamadas (${PROJECT_VERSION}-${package_release}) stable; urgency=medium\n\n"
  "  * Built from the logchamadas repository.\n\n"
  " -- ${LOGCHAMADAS_PACKAGE_MAINTAINER}  ${changelog_date}\n")
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${GZIP} -9nc ${changelog}.in >${changelog}.gz
  DEPENDS ${changelog}.in)
list(APPEND rendered_docs ${changelog}.gz)
add_custom_target(packaging_docs ALL DEPENDS ${rendered_docs})

install(TARGETS logchamadas RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The simulator keeps its short name in the build tree; installed, it carries the program's.
install(PROGRAMS $<TARGET_FILE:exchangesim> DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME logchamadas-exchangesim)
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/logchamadas-exchangesim\")
endif()")

install(FILES ${packaging_dir}/logchamadas.desktop ${packaging_dir}/logchamadas-configurar.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_dir}/logchamadas.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/window/resources/logchamadas.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging_dir}/autostart.desktop DESTINATION ${share_dir})
# The settings file's commented example sits with the autostart template, to be copied to
# /etc/xdg/logchamadas/. Not a conffile there: the settings dialog rewrites that file (without
# comments), and dpkg would then ask at every upgrade whether to put the example back, which would
# reset the site's line; nor in /usr/share/doc, which minimal installations leave out.
install(FILES ${packaging_dir}/logchamadas.conf DESTINATION ${share_dir})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/host/sql/ DESTINATION ${share_dir}/sql)
install(FILES ${packaging_out}/logchamadas.1.gz ${packaging_out}/logchamadas-exchangesim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_dir}/copyright ${changelog}.gz DESTINATION ${doc_dir})
# The service, installed disabled, where Debian 12 keeps the units of its packages; its user and group
# come from the maintainer scripts.
install(FILES ${packaging_dir}/logchamadas.service DESTINATION /lib/systemd/system)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${packaging_dir}/debian/postinst ${packaging_dir}/debian/prerm ${packaging_dir}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME logchamadas)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT ${LOGCHAMADAS_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LOGCHAMADAS_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${package_release})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins Qt loads at run time, which dpkg-shlibdeps cannot see: ODBC for the host database, SQLite
# for the local journal.
# adduser makes the service's user in the postinst.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, libqt6sql6-odbc, libqt6sql6-sqlite, adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc | odbc-postgresql | libsqliteodbc")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephone exchange call logger")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The telephone exchange prints one line per finished call on a serial port.
This program reads the port (or a TCP connection to the exchange or to a
serial device server) once a second, stores each call in the host system's
database through the ODBC data source alQuivarProd, and shows the day's
calls in a window. A settings dialog chooses and tests the line. It comes
with an autostart entry that starts it connected at log-in and with
logchamadas-exchangesim, a simulator of the exchange's output for checking
the serial wiring. A systemd service, installed disabled, captures from
boot with nobody logged in; the window then shows what it captures.")
include(CPack)
