// The ODBC API. mingw-w64's sqltypes.h needs the Windows types declared before it. Qt builds for
// Windows with UNICODE defined, where the plain names of the text calls become the wide ones, and
// Wine only stubs the narrow ones: the code calls the wide (W) functions by name on every system.
#pragma once

#ifdef _WIN32
#include <qt_windows.h>
#endif
#include <sql.h>

#include <QString>

namespace calls {

// A NUL-terminated text from an ODBC wide-character buffer.
inline QString FromSqlWide(const SQLWCHAR* text) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
}

}  // namespace calls
