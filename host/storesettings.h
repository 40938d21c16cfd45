// The connection settings and every SQL statement of the call store, kept together as data.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace calls {

// Statements that differ between database servers, chosen by the name the ODBC driver reports.
struct TDialect {
  QString DbmsName;    // SQL_DBMS_NAME as the driver gives it
  QString ClockQuery;  // one date-time column named data_atua
  // Run after every connect, best effort: :ZONE is bound to the client's time zone, and {LIMIT_MS}
  // written as the statement limit in milliseconds.
  QStringList SessionSetup;
};

struct TStoreSettings {
  QString DatabaseName;  // logical name of the connection
  QString AliasName;     // ODBC data source
  QString UserName;      // empty: the data source's own credentials apply
  QString Password;

  QString quCallSQL;        // quCall, parameter :DATA
  QString upCallInsertSQL;  // upCall, one parameter per column
  QString quUpParaSQL;      // quUpPara, parameter :HORA_ULTI_TRAN_FONE
  // How many TBCALL rows equal a call on six columns (parameters as upCall's, right-trimmed), to
  // learn whether a commit whose outcome was lost did store it.
  QString quCallCountSQL;

  std::vector<TDialect> Dialects;
  TDialect UnknownDialect;  // any other server: the standard ODBC escape for the clock

  // A connect attempt to a server that does not answer ends after this long.
  int LoginTimeoutSeconds = 10;
  // No statement waits longer (a host job holding a table, a lock never released): the driver's
  // query time-out and, for drivers that may ignore it, the server's own session setting. A batch of
  // 500 calls takes well under a second; 30 s is also the longest back-off step.
  int StatementLimitSeconds = 30;

  // The dialect for a driver's DBMS name (UnknownDialect when none matches).
  const TDialect& DialectFor(const QString& dbmsName) const;
};

// The site's settings: data source "alQuivarProd" under the name "dbQuivar", with the user name and
// password given to the build (LOGCHAMADAS_DB_USER / LOGCHAMADAS_DB_PASSWORD).
TStoreSettings DefaultStoreSettings();

}  // namespace calls
