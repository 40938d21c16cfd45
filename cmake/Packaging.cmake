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

install(FILES ${packaging_dir}/logchamadas.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_dir}/logchamadas.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/window/resources/logchamadas.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging_dir}/autostart.desktop DESTINATION ${share_dir})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/calls/sql/ DESTINATION ${share_dir}/sql)
install(FILES ${packaging_out}/logchamadas.1.gz ${packaging_out}/logchamadas-exchangesim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_dir}/copyright ${changelog}.gz DESTINATION ${doc_dir})

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
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, libqt6sql6-odbc, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc | odbc-postgresql | libsqliteodbc")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephone exchange call logger")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The telephone exchange prints one line per finished call on a serial port.
This program reads the port once a second, stores each call in the host
system's database through the ODBC data source alQuivarProd, and shows
the day's calls in a window. It comes with an autostart entry that starts it
connected at log-in and with logchamadas-exchangesim, a simulator of the
exchange's output for checking the serial wiring.")
include(CPack)
