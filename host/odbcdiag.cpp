#include "odbcdiag.h"

#include <sqlext.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>
#include <QStringList>
#include <QVariant>

namespace calls {

namespace {

// Qt hands its ODBC handles out as a QVariant holding the handle itself.
SQLHANDLE HandleOf(const QVariant& handle) {
  if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE)) return nullptr;
  return *static_cast<const SQLHANDLE*>(handle.constData());
}

bool LostState(const QString& state, SQLINTEGER) {
  return state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0"));
}

// ODBC's time-outs, PostgreSQL's cancelled statement (statement_timeout), SQL Server's lock time-out.
bool TimeOutState(const QString& state, SQLINTEGER native) {
  return state == QLatin1String("HYT00") || state == QLatin1String("HYT01") ||
         state == QLatin1String("57014") || native == 1222;
}

// Whether any diagnostic record of the handle is one the test picks.
bool AnyState(SQLSMALLINT type, SQLHANDLE handle, bool (*test)(const QString& state, SQLINTEGER native)) {
  if (handle == nullptr) return false;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(type, handle, record, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(r)) return false;
    if (test(FromSqlWide(state), native)) return true;
  }
}

SQLHANDLE StatementOf(const QSqlQuery* query) {
  return query != nullptr && query->result() != nullptr ? HandleOf(query->result()->handle()) : nullptr;
}

bool DeadConnection(SQLHDBC dbc) {
  if (dbc == nullptr) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  const SQLRETURN r = SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  return SQL_SUCCEEDED(r) && dead == SQL_CD_TRUE;
}

}  // namespace

SQLHDBC ConnectionHandle(const QSqlDatabase& db) {
  return db.isOpen() && db.driver() ? HandleOf(db.driver()->handle()) : nullptr;
}

QString DbmsName(const QSqlDatabase& db) {
  SQLHDBC dbc = ConnectionHandle(db);
  if (dbc == nullptr) return {};
  SQLWCHAR name[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
  return FromSqlWide(name);
}

bool ConnectionLost(SQLHDBC dbc, SQLSMALLINT handleType, SQLHANDLE handle) {
  return AnyState(handleType, handle, LostState) || AnyState(SQL_HANDLE_DBC, dbc, LostState) ||
         DeadConnection(dbc);
}

bool ConnectionLost(const QSqlDatabase& db, const QSqlQuery* query) {
  return ConnectionLost(ConnectionHandle(db), SQL_HANDLE_STMT, StatementOf(query));
}

bool TimedOut(SQLSMALLINT handleType, SQLHANDLE handle) {
  return AnyState(handleType, handle, TimeOutState);
}

bool TimedOut(const QSqlQuery& query) {
  return TimedOut(SQL_HANDLE_STMT, StatementOf(&query));
}

void LimitTime(SQLHSTMT statement, int seconds) {
  if (statement != nullptr) {
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
  }
}

void LimitTime(const QSqlQuery& query, int seconds) {
  LimitTime(StatementOf(&query), seconds);
}

QString DiagText(SQLSMALLINT handleType, SQLHANDLE handle) {
  QStringList messages;
  for (SQLSMALLINT record = 1; handle != nullptr; ++record) {
    SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLWCHAR message[SQL_MAX_MESSAGE_LENGTH] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, record, state, &native, message,
                                      SQL_MAX_MESSAGE_LENGTH, &length))) {
      break;
    }
    messages.push_back(FromSqlWide(message));
  }
  return messages.join(QLatin1Char('\n'));
}

}  // namespace calls
