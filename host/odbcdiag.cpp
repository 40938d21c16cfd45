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

bool LostState(const QString& state) {
  return state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0"));
}

bool AnyLostState(SQLSMALLINT type, SQLHANDLE handle) {
  if (handle == nullptr) return false;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(type, handle, record, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(r)) return false;
    if (LostState(FromSqlWide(state))) return true;
  }
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
  return AnyLostState(handleType, handle) || AnyLostState(SQL_HANDLE_DBC, dbc) || DeadConnection(dbc);
}

bool ConnectionLost(const QSqlDatabase& db, const QSqlQuery* query) {
  SQLHANDLE statement =
      query != nullptr && query->result() != nullptr ? HandleOf(query->result()->handle()) : nullptr;
  return ConnectionLost(ConnectionHandle(db), SQL_HANDLE_STMT, statement);
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
