// What Qt's ODBC driver does not tell: the server's product name and whether a failure means the
// connection is gone. Both are read from the ODBC handles underneath Qt.
#pragma once

#include <QString>

class QSqlDatabase;
class QSqlQuery;

namespace calls {

// SQL_DBMS_NAME of an open connection, e.g. "PostgreSQL", "SQLite", "Microsoft SQL Server".
QString DbmsName(const QSqlDatabase& db);

// True when the last failure of the query (or of the connection itself, when query is null) came
// from a lost connection: SQLSTATE class 08, a server shutdown (57P0x), or a dead connection.
bool ConnectionLost(const QSqlDatabase& db, const QSqlQuery* query);

}  // namespace calls
