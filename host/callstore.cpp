#include "callstore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>

#include "dayreader.h"
#include "odbcdiag.h"
#include "storesettings.h"

namespace calls {

namespace {

// Date-times come back as such, except from SQLite, which holds them as text.
QDateTime ToDateTime(const QVariant& value) {
  if (value.metaType().id() == QMetaType::QDateTime) return value.toDateTime();
  const QString text = value.toString();
  for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss"}) {
    const QDateTime parsed = QDateTime::fromString(text, QLatin1String(format));
    if (parsed.isValid()) return parsed;
  }
  return {};
}

}  // namespace

struct TCallStore::TImpl {
  explicit TImpl(const TStoreSettings& settings)
      : S(settings), dbMain(QSqlDatabase::addDatabase(QStringLiteral("QODBC"), settings.DatabaseName)) {}

  ~TImpl() {
    Close();
    dbMain = QSqlDatabase();
    QSqlDatabase::removeDatabase(S.DatabaseName);
  }

  TStoreSettings S;
  QSqlDatabase dbMain;
  const TDialect* Dialect = &S.UnknownDialect;
  std::optional<QSqlQuery> upCall;
  std::optional<QSqlQuery> quUpPara;
  std::optional<QSqlQuery> quCallCount;
  QString Error;
  bool Lost = true;  // the connection must be (re)opened before the next statement
  TCommitFault Fault = TCommitFault::cfNone;

  bool Fail(const QSqlError& error, const QSqlQuery* query) {
    Error = error.text();
    Lost = Lost || ConnectionLost(dbMain, query);
    return false;
  }

  bool Fail(const QString& error) {
    Error = error;
    return false;
  }

  void Close() {
    upCall.reset();
    quUpPara.reset();
    quCallCount.reset();
    dbMain.close();
  }

  bool Prepare(std::optional<QSqlQuery>& query, const QString& statement) {
    query.emplace(dbMain);
    return query->prepare(statement) || Fail(query->lastError(), &*query);
  }

  bool Open() {
    Close();
    Lost = true;
    dbMain.setDatabaseName(S.AliasName);
    dbMain.setUserName(S.UserName);
    dbMain.setPassword(S.Password);
    // A server that does not answer at all must not hold a connect attempt for ever.
    dbMain.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(S.LoginTimeoutSeconds));
    if (!dbMain.open()) return Fail(dbMain.lastError(), nullptr);
    Dialect = &S.DialectFor(DbmsName(dbMain));
    SetSessionZone();
    if (!Prepare(upCall, S.upCallInsertSQL) || !Prepare(quUpPara, S.quUpParaSQL) ||
        !Prepare(quCallCount, S.quCallCountSQL)) {
      Close();
      return false;
    }
    Lost = false;
    return true;
  }

  // Best effort: a server that does not know the client's zone keeps its own, and the clock read
  // through fcDataAtual is then the server's local time.
  void SetSessionZone() {
    if (Dialect->SessionSetup.isEmpty()) return;
    QSqlQuery query(dbMain);
    if (query.prepare(Dialect->SessionSetup)) {
      query.bindValue(QStringLiteral(":ZONE"), QString::fromUtf8(QTimeZone::systemTimeZoneId()));
      query.exec();
    }
  }

  // Runs one attempt; when the connection is (or turns out to be) gone, reopens it once and runs the
  // attempt again. Never more than one reopen per operation, so an outage costs one failed connect.
  template <class TAttempt>
  bool Run(TAttempt attempt) {
    bool reopened = false;
    if (Lost) {
      if (!Open()) return false;
      reopened = true;
    }
    if (attempt()) return true;
    if (!Lost || reopened) return false;
    return Open() && attempt();
  }

  bool ExecInsert(const TCallRow& row) {
    upCall->bindValue(QStringLiteral(":RAMA"), row.RAMA.Value());
    upCall->bindValue(QStringLiteral(":DATA"), row.DATA.DateTime());
    upCall->bindValue(QStringLiteral(":TRON"), row.TRON.Value());
    upCall->bindValue(QStringLiteral(":DURA"), row.DURA.Value());
    upCall->bindValue(QStringLiteral(":NUME_DISC"), row.NUME_DISC.Value());
    upCall->bindValue(QStringLiteral(":SENH"), row.SENH.Value());
    upCall->bindValue(QStringLiteral(":TIPO"), row.TIPO.Value());
    return upCall->exec() || Fail(upCall->lastError(), &*upCall);
  }

  // A failure whose connection is gone may have reached the server or not.
  TInsertOutcome Failed() const { return Lost ? TInsertOutcome::ioUnknown : TInsertOutcome::ioRefused; }

  TInsertOutcome Commit() {
    const TCommitFault fault = std::exchange(Fault, TCommitFault::cfNone);
    if (fault == TCommitFault::cfLostBeforeCommit) dbMain.rollback();
    if (fault == TCommitFault::cfNone || fault == TCommitFault::cfLostAfterCommit) {
      if (!dbMain.commit()) {
        Fail(dbMain.lastError(), nullptr);
        if (!Lost) dbMain.rollback();
        return Failed();
      }
    }
    if (fault != TCommitFault::cfNone) {
      Close();
      Lost = true;
      Error = QStringLiteral("Conexão perdida durante o COMMIT (falha simulada)");
      return TInsertOutcome::ioUnknown;
    }
    return TInsertOutcome::ioStored;
  }

  TInsertOutcome InsertAll(const std::vector<const TCallRow*>& rows) {
    if (Lost && !Open()) return TInsertOutcome::ioUnknown;
    if (!dbMain.transaction()) return Fail(dbMain.lastError(), nullptr), Failed();
    for (const TCallRow* row : rows) {
      if (!ExecInsert(*row)) {
        if (!Lost) dbMain.rollback();
        return Failed();
      }
    }
    return Commit();
  }

  bool CountEqual(const TCallRow& row, int& count) {
    // Right-trimmed: servers that pad fixed-width text would compare the padding otherwise.
    const auto trimmed = [](QString text) {
      while (text.endsWith(QLatin1Char(' '))) text.chop(1);
      return text;
    };
    quCallCount->bindValue(QStringLiteral(":DATA"), row.DATA.DateTime());
    quCallCount->bindValue(QStringLiteral(":RAMA"), trimmed(row.RAMA.Text()));
    quCallCount->bindValue(QStringLiteral(":NUME_DISC"), trimmed(row.NUME_DISC.Text()));
    quCallCount->bindValue(QStringLiteral(":DURA"), trimmed(row.DURA.Text()));
    quCallCount->bindValue(QStringLiteral(":SENH"), trimmed(row.SENH.Text()));
    quCallCount->bindValue(QStringLiteral(":TRON"), trimmed(row.TRON.Text()));
    if (!quCallCount->exec() || !quCallCount->next()) return Fail(quCallCount->lastError(), &*quCallCount);
    count = quCallCount->value(0).toInt();
    quCallCount->finish();
    return true;
  }

  bool ReadDay(const QDateTime& day, TRowBlocks& rows) {
    rows.clear();
    TReadFailure failure;
    if (ReadDayRows(ConnectionHandle(dbMain), S.quCallSQL, day, rows, failure)) return true;
    Lost = Lost || failure.Lost;
    return Fail(failure.Text);
  }

  bool ReadClock(std::optional<QDateTime>& now) {
    QSqlQuery query(dbMain);
    query.setForwardOnly(true);
    if (!query.exec(Dialect->ClockQuery) || !query.next()) return Fail(query.lastError(), &query);
    now = ToDateTime(query.value(QStringLiteral("data_atua")));
    return now->isValid() ||
           Fail(QStringLiteral("The server's clock gave no date: %1").arg(Dialect->ClockQuery));
  }
};

TCallStore::TCallStore(const TStoreSettings& settings) : FImpl(std::make_unique<TImpl>(settings)) {}

TCallStore::~TCallStore() = default;

bool TCallStore::Connect() {
  return FImpl->Open();
}

bool TCallStore::IsConnected() const {
  return !FImpl->Lost;
}

bool TCallStore::ReadDay(const QDateTime& day, TRowBlocks& rows) {
  return FImpl->Run([&] { return FImpl->ReadDay(day, rows); });
}

TInsertOutcome TCallStore::InsertCalls(const std::vector<const TCallRow*>& rows) {
  return FImpl->InsertAll(rows);
}

TInsertOutcome TCallStore::InsertCall(const TCallRow& row) {
  if (FImpl->Lost && !FImpl->Open()) return TInsertOutcome::ioUnknown;
  return FImpl->ExecInsert(row) ? TInsertOutcome::ioStored : FImpl->Failed();
}

std::optional<int> TCallStore::CountStored(const TCallRow& row) {
  int count = 0;
  if (!FImpl->Run([&] { return FImpl->CountEqual(row, count); })) return std::nullopt;
  return count;
}

bool TCallStore::StampLastTransmission(const QDateTime& when) {
  return FImpl->Run([&] {
    FImpl->quUpPara->bindValue(QStringLiteral(":HORA_ULTI_TRAN_FONE"), when);
    return FImpl->quUpPara->exec() || FImpl->Fail(FImpl->quUpPara->lastError(), &*FImpl->quUpPara);
  });
}

std::optional<QDateTime> TCallStore::fcDataAtual(const QString& flag) {
  std::optional<QDateTime> now;
  if (!FImpl->Run([&] { return FImpl->ReadClock(now); })) return std::nullopt;
  if (flag == QLatin1String("S")) return now;
  return QDateTime(now->date(), QTime(0, 0));
}

QString TCallStore::LastError() const {
  return FImpl->Error;
}

void TCallStore::InjectCommitFault(TCommitFault fault) {
  FImpl->Fault = fault;
}

}  // namespace calls
