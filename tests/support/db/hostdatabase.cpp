#include "hostdatabase.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <optional>
#include <stdexcept>

#include "pgcluster.h"

namespace testsupport {

namespace {

// Debian's own [SQLite] entry names a library bookworm does not ship; the Unicode psqlODBC driver
// keeps accented text intact where the ANSI one garbles it.
const char* OdbcInst =
    "[SQLite3]\n"
    "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n"
    "[PostgreSQL Unicode]\n"
    "Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so\n";

[[noreturn]] void Throw(const QString& what) {
  throw std::runtime_error(what.toStdString());
}

// The folder of the ODBC configuration, as this program opens it and as unixODBC reads it.
struct TOdbcFolder {
  QString Local;
  QString Linux;
};

#ifdef _WIN32
// Under Wine the driver manager is the Linux one, which sees only the environment Wine was started
// with: the configuration goes where run-test pointed it, whatever folder the test asked for.
// One engine per process there: the search mode that lets a Linux process switch engines is fixed too.
TOdbcFolder PrepareOdbcFolder(const QString&, TEngine) {
  const QString linux = qEnvironmentVariable("ODBCSYSINI");
  if (linux.isEmpty()) Throw(QStringLiteral("ODBCSYSINI is not set: run the test through run-test"));
  // Wine's drive Z: is the Linux root.
  return {QStringLiteral("Z:") + linux, linux};
}
#else
TOdbcFolder PrepareOdbcFolder(const QString& folder, TEngine engine) {
  // Qt unloads its ODBC plugin at exit and unixODBC with it, whose caches then look leaked to
  // LeakSanitizer: keep the driver manager's libraries loaded for the life of the process.
  static const bool kept = [] {
    for (const char* library : {"libodbc.so.2", "libodbcinst.so.2"})
      dlopen(library, RTLD_NOW | RTLD_NODELETE);
    return true;
  }();
  (void)kept;
  const QString absolute = QDir(folder).absolutePath();
  qputenv("ODBCSYSINI", QFile::encodeName(absolute));
  qputenv("ODBCINI", QFile::encodeName(absolute + QStringLiteral("/odbc.ini")));
  // unixODBC's driver manager keeps what it read of odbc.ini for 20 s, keyed by the search mode
  // among other things: a mode of its own per engine lets a process switch engines at once.
  qputenv("ODBCSEARCH", engine == TEngine::Sqlite ? "ODBC_USER_DSN" : "ODBC_BOTH_DSN");
  return {absolute, absolute};
}
#endif

void WriteFile(const QString& path, const QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0) {
    Throw(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
  }
}

QString ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Throw(QStringLiteral("cannot read %1").arg(path));
  return QString::fromUtf8(file.readAll());
}

QString SourceSection(TEngine engine, const QString& folder) {
  if (engine == TEngine::Sqlite) {
    return QStringLiteral("[alQuivarProd]\nDriver=SQLite3\nDatabase=%1/host.sqlite\nTimeout=2000\n")
        .arg(folder);
  }
  // The source carries its own credentials, as at a site: the program itself is built without any.
  return QStringLiteral(
             "[alQuivarProd]\nDriver=PostgreSQL Unicode\nServername=%1\nPort=5432\nDatabase=quivar\n"
             "SSLmode=disable\nUsername=%2\nPassword=%3\n")
      .arg(TPostgresCluster::FromEnvironment().SocketFolder(), TPostgresCluster::UserName(),
           TPostgresCluster::Password());
}

QString ScriptFor(TEngine engine) {
  return QStringLiteral(LOGCHAMADAS_SQL_DIR "/%1")
      .arg(engine == TEngine::Sqlite ? "sqlite.sql" : "postgresql.sql");
}

std::optional<QSqlQuery> TryRun(QSqlDatabase& db, const QString& statement, const QVariantList& values,
                                QString& error) {
  QSqlQuery query(db);
  query.setForwardOnly(true);
  bool done = query.prepare(statement);
  for (const QVariant& value : values) query.addBindValue(value);
  done = done && query.exec();
  if (done) return query;
  error = QStringLiteral("%1: %2").arg(statement, query.lastError().text());
  return std::nullopt;
}

// Tests restart the server under this connection too: reconnect once before giving up.
QSqlQuery Run(QSqlDatabase& db, const QString& statement, const QVariantList& values) {
  QString error;
  std::optional<QSqlQuery> query = TryRun(db, statement, values, error);
  if (!query) {
    db.close();
    if (db.open()) query = TryRun(db, statement, values, error);
  }
  if (!query) Throw(error);
  return std::move(*query);
}

}  // namespace

THostDatabase::TConnectionName::~TConnectionName() {
  QSqlDatabase::removeDatabase(Name);
}

THostDatabase::THostDatabase(TEngine engine, const QString& folder) : FEngine(engine) {
  if (engine == TEngine::Postgres) {
    FUser = TPostgresCluster::UserName();
    FPassword = TPostgresCluster::Password();
  }
  const TOdbcFolder odbc = PrepareOdbcFolder(folder, engine);
  // unixODBC takes ODBCSYSINI once per process and keeps it.
  static const QString firstFolder = odbc.Local;
  if (odbc.Local != firstFolder) {
    Throw(QStringLiteral("one ODBC folder per process: %1, not %2").arg(firstFolder, odbc.Local));
  }
  QDir().mkpath(odbc.Local);
  WriteFile(odbc.Local + QStringLiteral("/odbcinst.ini"), QString::fromLatin1(OdbcInst));
  WriteFile(odbc.Local + QStringLiteral("/odbc.ini"), SourceSection(engine, odbc.Linux));

  FAdmin = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), FAdminName.Name);
  FAdmin.setDatabaseName(QStringLiteral("alQuivarProd"));
  FAdmin.setUserName(FUser);
  FAdmin.setPassword(FPassword);
  if (!FAdmin.open()) {
    Throw(QStringLiteral("cannot open the test's source: %1").arg(FAdmin.lastError().text()));
  }
  for (const char* table : {"TBCALL", "TBPARA"}) Exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
  for (const QString& statement : ReadFile(ScriptFor(engine)).split(QLatin1Char(';'))) {
    QString sql;
    for (const QString& line : statement.split(QLatin1Char('\n'))) {
      if (!line.trimmed().startsWith(QLatin1String("--"))) sql += line + QLatin1Char('\n');
    }
    if (!sql.trimmed().isEmpty()) Exec(sql);
  }
}

THostDatabase::~THostDatabase() = default;

calls::TStoreSettings THostDatabase::Settings(const QString& connectionName) const {
  calls::TStoreSettings settings = calls::DefaultStoreSettings();
  settings.DatabaseName = connectionName;
  settings.UserName = FUser;
  settings.Password = FPassword;
  return settings;
}

void THostDatabase::Exec(const QString& statement, const QVariantList& values) {
  Run(FAdmin, statement, values);
}

std::vector<QVariantList> THostDatabase::Rows(const QString& statement, const QVariantList& values) {
  QSqlQuery query = Run(FAdmin, statement, values);
  std::vector<QVariantList> rows;
  while (query.next()) {
    QVariantList row;
    for (int column = 0; column < query.record().count(); ++column) row.push_back(query.value(column));
    rows.push_back(row);
  }
  return rows;
}

int THostDatabase::Count(const QString& statement, const QVariantList& values) {
  const std::vector<QVariantList> rows = Rows(statement, values);
  if (rows.size() != 1 || rows.front().size() != 1) Throw(QStringLiteral("not one value: %1").arg(statement));
  return rows.front().front().toInt();
}

void THostDatabase::ExecBatch(const QString& statement, const std::vector<QVariantList>& rows) {
  QSqlQuery query(FAdmin);
  if (!FAdmin.transaction() || !query.prepare(statement))
    Throw(statement + QStringLiteral(": cannot prepare"));
  for (const QVariantList& row : rows) {
    for (int i = 0; i < row.size(); ++i) query.bindValue(i, row[i]);
    if (!query.exec()) Throw(QStringLiteral("%1: %2").arg(statement, query.lastError().text()));
  }
  if (!FAdmin.commit()) Throw(QStringLiteral("%1: %2").arg(statement, FAdmin.lastError().text()));
}

void THostDatabase::BreakInserts(const QString& onlyRama) {
  // Test-owned literal, never operator input.
  const QString rama = QString(onlyRama).replace(QLatin1Char('\''), QStringLiteral("''"));
  if (FEngine == TEngine::Sqlite) {
    const QString when = onlyRama.isEmpty() ? QString() : QStringLiteral("WHEN NEW.RAMA = '%1' ").arg(rama);
    Exec(QStringLiteral("CREATE TRIGGER TBCALL_BLOCK BEFORE INSERT ON TBCALL %1"
                        "BEGIN SELECT RAISE(ABORT, 'inserts blocked by the test'); END")
             .arg(when));
  } else {
    const QString check =
        onlyRama.isEmpty() ? QStringLiteral("false") : QStringLiteral("RAMA <> '%1'").arg(rama);
    Exec(QStringLiteral("ALTER TABLE TBCALL ADD CONSTRAINT TBCALL_BLOCK CHECK (%1) NOT VALID").arg(check));
  }
}

void THostDatabase::LockTable(const QString& table) {
  if (!FAdmin.transaction()) Throw(QStringLiteral("BEGIN: %1").arg(FAdmin.lastError().text()));
  Exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
}

void THostDatabase::ReleaseLock() {
  if (!FAdmin.commit()) Throw(QStringLiteral("COMMIT: %1").arg(FAdmin.lastError().text()));
}

void THostDatabase::MendInserts() {
  Exec(FEngine == TEngine::Sqlite ? QStringLiteral("DROP TRIGGER TBCALL_BLOCK")
                                  : QStringLiteral("ALTER TABLE TBCALL DROP CONSTRAINT TBCALL_BLOCK"));
}

}  // namespace testsupport
