// What Qt's ODBC driver does not tell: the server's product name, whether a failure means the
// connection is gone, and the handle for work done on ODBC directly.
#pragma once

#include <QString>

#include "odbcapi.h"

class QSqlDatabase;
class QSqlQuery;

namespace calls {

// The ODBC connection under an open Qt connection (null when there is none).
SQLHDBC ConnectionHandle(const QSqlDatabase& db);

// SQL_DBMS_NAME of an open connection, e.g. "PostgreSQL", "SQLite", "Microsoft SQL Server".
QString DbmsName(const QSqlDatabase& db);

// True when the diagnostics of the handle, or of the connection, tell of a lost connection:
// SQLSTATE class 08, a server shutdown (57P0x), or a connection the driver reports dead.
bool ConnectionLost(SQLHDBC dbc, SQLSMALLINT handleType, SQLHANDLE handle);
// The same for the last failure of a Qt query (or of the connection itself, when query is null).
bool ConnectionLost(const QSqlDatabase& db, const QSqlQuery* query);

// True when the failure was the statement's time limit (or a lock wait's) running out.
bool TimedOut(SQLSMALLINT handleType, SQLHANDLE handle);
bool TimedOut(const QSqlQuery& query);

// Gives a statement the time limit in seconds (SQL_ATTR_QUERY_TIMEOUT). Best effort: a driver that
// cannot is bounded by the server's session setting instead.
void LimitTime(SQLHSTMT statement, int seconds);
void LimitTime(const QSqlQuery& query, int seconds);

// The driver's messages on a handle, one per line.
QString DiagText(SQLSMALLINT handleType, SQLHANDLE handle);

}  // namespace calls
