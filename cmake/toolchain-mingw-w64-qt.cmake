# The mingw-w64 cross toolchain with the static Qt for Windows that scripts/build-qt-windows keeps in
# the user's cache; the host's Qt (/usr) runs moc, uic and rcc.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)

execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-qt-windows --prefix
                OUTPUT_VARIABLE logchamadas_qt_prefix OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE logchamadas_qt_missing)
if(logchamadas_qt_missing)
  message(FATAL_ERROR "No Qt for Windows yet: run scripts/build-qt-windows (about half an hour, once).")
endif()

list(APPEND CMAKE_PREFIX_PATH ${logchamadas_qt_prefix})
# Packages are searched under the root paths only, and Qt (with the SQLite its driver uses) is one.
list(APPEND CMAKE_FIND_ROOT_PATH ${logchamadas_qt_prefix})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
# -static alone still lets the linker take libstdc++ and winpthread as DLLs.
set(CMAKE_LINK_SEARCH_START_STATIC ON)
set(CMAKE_LINK_SEARCH_END_STATIC ON)
