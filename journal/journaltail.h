// The unfinished end of the line, kept with each tick's lines so that a line whose first bytes came
// before the program ended (a crash, a power cut) is not lost: the next run takes it up. One row.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <string>

namespace calls {

inline constexpr const char* TailSchema =
    "CREATE TABLE IF NOT EXISTS TBRESTO (ID INTEGER PRIMARY KEY CHECK (ID = 1), BYTE BLOB NOT NULL)";

// Inside the caller's write transaction; an invalid error when it worked.
QSqlError KeepTail(const QSqlDatabase& db, const std::string& tail);

}  // namespace calls
