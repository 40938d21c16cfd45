// A data source "alQuivarProd" over fresh host tables (TBCALL, TBPARA), on SQLite or on the test
// PostgreSQL cluster, with the ODBC configuration written into the build tree: unixODBC is pointed at
// it through ODBCSYSINI/ODBCINI, the machine's own files are never read or changed.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <vector>

#include "storesettings.h"

namespace testsupport {

enum class TEngine { Sqlite, Postgres };

class THostDatabase {
 public:
  // Throws std::runtime_error when the source cannot be made (a missing cluster included). unixODBC
  // reads its folder once per process: every THostDatabase of a process must use the same folder.
  THostDatabase(TEngine engine, const QString& folder);
  ~THostDatabase();
  THostDatabase(const THostDatabase&) = delete;
  THostDatabase& operator=(const THostDatabase&) = delete;

  // The site's settings with this source's credentials, under its own connection name.
  calls::TStoreSettings Settings(const QString& connectionName = QStringLiteral("dbQuivar")) const;

  // Statements on a second connection of the test's own.
  void Exec(const QString& statement, const QVariantList& values = {});
  std::vector<QVariantList> Rows(const QString& statement, const QVariantList& values = {});
  int Count(const QString& statement, const QVariantList& values = {});
  // One prepared statement run once per row, all in one transaction (to fill large tables).
  void ExecBatch(const QString& statement, const std::vector<QVariantList>& rows);

  // Makes every insert into TBCALL fail (a trigger or constraint), or only those of one extension, and
  // undoes it.
  void BreakInserts(const QString& onlyRama = {});
  void MendInserts();

  // Holds a table locked against every other session, as a host-system job can, until released
  // (PostgreSQL: an open transaction on the test's own connection).
  void LockTable(const QString& table);
  void ReleaseLock();

 private:
  // Drops the connection's name once FAdmin, declared after it, is gone; also when the constructor throws.
  struct TConnectionName {
    QString Name;
    ~TConnectionName();
  };

  TEngine FEngine;
  QString FUser;
  QString FPassword;
  TConnectionName FAdminName{QStringLiteral("testsupport-admin")};
  QSqlDatabase FAdmin;
};

}  // namespace testsupport
