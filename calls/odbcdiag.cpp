#include "odbcdiag.h"

#include <sql.h>
#include <sqlext.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>
#include <QVariant>

namespace calls {

namespace {

// Qt hands its ODBC handles out as a QVariant holding the handle itself.
SQLHANDLE HandleOf(const QVariant& handle) {
  if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE)) return nullptr;
  return *static_cast<const SQLHANDLE*>(handle.constData());
}

SQLHDBC ConnectionHandle(const QSqlDatabase& db) {
  return db.driver() ? HandleOf(db.driver()->handle()) : nullptr;
}

bool LostState(const QByteArray& state) {
  return state.startsWith("08") || state.startsWith("57P0");
}

bool AnyLostState(SQLSMALLINT type, SQLHANDLE handle) {
  if (handle == nullptr) return false;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRec(type, handle, record, state, &native, nullptr, 0, &length);
    if (!SQL_SUCCEEDED(r)) return false;
    if (LostState(QByteArray(reinterpret_cast<const char*>(state)))) return true;
  }
}

bool DeadConnection(SQLHDBC dbc) {
  if (dbc == nullptr) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  const SQLRETURN r = SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  return SQL_SUCCEEDED(r) && dead == SQL_CD_TRUE;
}

}  // namespace

QString DbmsName(const QSqlDatabase& db) {
  SQLHDBC dbc = ConnectionHandle(db);
  if (dbc == nullptr) return {};
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
  return QString::fromLatin1(reinterpret_cast<const char*>(name));
}

bool ConnectionLost(const QSqlDatabase& db, const QSqlQuery* query) {
  SQLHDBC dbc = ConnectionHandle(db);
  if (query != nullptr && query->result() != nullptr &&
      AnyLostState(SQL_HANDLE_STMT, HandleOf(query->result()->handle()))) {
    return true;
  }
  return AnyLostState(SQL_HANDLE_DBC, dbc) || DeadConnection(dbc);
}

}  // namespace calls
