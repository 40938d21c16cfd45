#include "storesettings.h"

#include <QStringList>

#include "storecredentials.h"

namespace calls {

namespace {

QString Lines(const QStringList& lines) {
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

const TDialect& TStoreSettings::DialectFor(const QString& dbmsName) const {
  for (const TDialect& dialect : Dialects) {
    if (dialect.DbmsName.compare(dbmsName, Qt::CaseInsensitive) == 0) return dialect;
  }
  return UnknownDialect;
}

TStoreSettings DefaultStoreSettings() {
  TStoreSettings s;
  s.DatabaseName = QStringLiteral("dbQuivar");
  s.AliasName = QStringLiteral("alQuivarProd");
  s.UserName = QString::fromUtf8(credentials::UserName);
  s.Password = QString::fromUtf8(credentials::Password);

  s.quCallSQL = Lines({"SELECT *", "FROM TBCALL", "WHERE DATA >= :DATA", "ORDER BY DATA"});
  s.upCallInsertSQL = Lines({"insert into TBCALL", "  (RAMA, DATA, TRON, DURA, NUME_DISC, SENH, TIPO)",
                             "values", "  (:RAMA, :DATA, :TRON, :DURA, :NUME_DISC, :SENH, :TIPO)"});
  s.quUpParaSQL = Lines({"UPDATE TBPARA", "  SET HORA_ULTI_TRAN_FONE = :HORA_ULTI_TRAN_FONE"});
  // RTRIM and COUNT mean the same on SQL Server, PostgreSQL and SQLite.
  s.quCallCountSQL =
      Lines({"SELECT COUNT(*) FROM TBCALL", "WHERE DATA = :DATA AND RTRIM(RAMA) = :RAMA",
             "  AND RTRIM(NUME_DISC) = :NUME_DISC AND RTRIM(DURA) = :DURA", "  AND RTRIM(SENH) = :SENH AND RTRIM(TRON) = :TRON"});

  s.Dialects = {
      // A lock wait is what holds a statement on SQL Server.
      {QStringLiteral("Microsoft SQL Server"),
       QStringLiteral("SELECT DATA_ATUA = GETDATE()"),
       {QStringLiteral("SET LOCK_TIMEOUT {LIMIT_MS}")}},
      // localtimestamp follows the session's zone, which the server sets to its own: use the client's.
      {QStringLiteral("PostgreSQL"),
       QStringLiteral("SELECT LOCALTIMESTAMP(3) AS data_atua"),
       {QStringLiteral("SELECT set_config('TimeZone', :ZONE, false)"),
        QStringLiteral("SELECT set_config('statement_timeout', '{LIMIT_MS}', false)")}},
      // SQLite runs inside this process: its clock is the local one.
      {QStringLiteral("SQLite"), QStringLiteral("SELECT datetime('now', 'localtime') AS data_atua"), {}},
  };
  s.UnknownDialect = {QString(), QStringLiteral("SELECT {fn NOW()} AS data_atua"), {}};
  return s;
}

}  // namespace calls
