// Reads the day's call list straight through ODBC, a block of rows per fetch into bound fixed-width
// buffers: through Qt each value of 100,000 rows would become its own QVariant and local QDateTime.
#pragma once

#include <QDateTime>
#include <QString>

#include "odbcapi.h"
#include "rowblocks.h"

namespace calls {

struct TReadFailure {
  QString Text;       // the driver's messages
  bool Lost = false;  // the connection is gone
};

// Runs the list's statement (its one parameter :DATA bound to midnight of the day's date, as written)
// on the connection, within the time limit in seconds, and appends every row. False, with the
// failure filled in, when the statement or a fetch fails.
bool ReadDayRows(SQLHDBC dbc, const QString& statement, const QDate& day, int limitSeconds, TRowBlocks& rows,
                 TReadFailure& failure);

}  // namespace calls
