#include "callstore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>

#include "dayreader.h"
#include "odbcdiag.h"
#include "rowdetail.h"
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
  TImpl(const TStoreSettings& settings, std::shared_ptr<TStatementWatch> watch)
      : S(settings),
        dbMain(QSqlDatabase::addDatabase(QStringLiteral("QODBC"), settings.DatabaseName)),
        Watch(std::move(watch)) {}

  ~TImpl() {
    Close();
    dbMain = QSqlDatabase();
    QSqlDatabase::removeDatabase(S.DatabaseName);
  }

  TStoreSettings S;
  QSqlDatabase dbMain;
  std::shared_ptr<TStatementWatch> Watch;
  const TDialect* Dialect = &S.UnknownDialect;
  std::optional<QSqlQuery> upCall;
  std::optional<QSqlQuery> quUpPara;
  std::optional<QSqlQuery> quCallCount;
  QString Error;
  bool Lost = true;       // the connection must be (re)opened before the next statement
  bool NoAnswer = false;  // the last failure was the time limit running out
  std::optional<std::size_t> RefusedRow;
  TCommitFault Fault = TCommitFault::cfNone;
  std::function<void()> BeforeCommit;

  // The failure of a statement (or, without one, of the connection), in the driver's words but
  // without the personal codes of the calls it was about.
  bool Fail(const QSqlError& error, const QSqlQuery* query, const std::vector<QString>& codes = {}) {
    Error = WithoutPersonalCode(error.text(), codes);
    NoAnswer = query != nullptr ? TimedOut(*query) : TimedOut(SQL_HANDLE_DBC, ConnectionHandle(dbMain));
    Lost = Lost || ConnectionLost(dbMain, query);
    return false;
  }

  bool Fail(const QString& error) {
    Error = WithoutPersonalCode(error);
    NoAnswer = false;
    return false;
  }

  void Close() {
    upCall.reset();
    quUpPara.reset();
    quCallCount.reset();
    dbMain.close();
  }

  // Whatever the server does with a statement, the window can tell how long it has been waiting.
  template <class TWork>
  auto Watched(TWork work) {
    const TStatementWatch::TScope scope(*Watch);
    return work();
  }

  bool Prepare(QSqlQuery& query, const QString& statement) {
    if (!Watched([&] { return query.prepare(statement); })) return Fail(query.lastError(), &query);
    LimitTime(query, S.StatementLimitSeconds);
    return true;
  }

  bool Prepare(std::optional<QSqlQuery>& query, const QString& statement) {
    query.emplace(dbMain);
    return Prepare(*query, statement);
  }

  bool Exec(QSqlQuery& query) {
    return Watched([&] { return query.exec(); });
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
    SetUpSession();
    if (!Prepare(upCall, S.upCallInsertSQL) || !Prepare(quUpPara, S.quUpParaSQL) ||
        !Prepare(quCallCount, S.quCallCountSQL)) {
      Close();
      return false;
    }
    Lost = false;
    return true;
  }

  // Best effort: a server that does not know the client's zone keeps its own, and the clock read
  // through fcDataAtual is then the server's local time; one without the statement limit still has
  // the driver's.
  void SetUpSession() {
    for (QString statement : Dialect->SessionSetup) {
      statement.replace(QLatin1String("{LIMIT_MS}"), QString::number(S.StatementLimitSeconds * 1000));
      QSqlQuery query(dbMain);
      if (!Prepare(query, statement)) continue;
      if (statement.contains(QLatin1String(":ZONE")))
        query.bindValue(QStringLiteral(":ZONE"), QString::fromUtf8(QTimeZone::systemTimeZoneId()));
      Exec(query);
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
    upCall->bindValue(QStringLiteral(":DATA"), row.DATA.AsWritten());
    upCall->bindValue(QStringLiteral(":TRON"), row.TRON.Value());
    upCall->bindValue(QStringLiteral(":DURA"), row.DURA.Value());
    upCall->bindValue(QStringLiteral(":NUME_DISC"), row.NUME_DISC.Value());
    upCall->bindValue(QStringLiteral(":SENH"), row.SENH.Value());
    upCall->bindValue(QStringLiteral(":TIPO"), row.TIPO.Value());
    return Exec(*upCall) || Fail(upCall->lastError(), &*upCall, {row.SENH.Text()});
  }

  // A failure whose connection is gone may have reached the server or not.
  TInsertOutcome Failed() const {
    if (Lost) return TInsertOutcome::ioUnknown;
    return NoAnswer ? TInsertOutcome::ioNoAnswer : TInsertOutcome::ioRefused;
  }

  void Rollback() {
    if (!Lost) Watched([&] { return dbMain.rollback(); });
  }

  TInsertOutcome Commit(const std::vector<QString>& codes) {
    if (BeforeCommit) std::exchange(BeforeCommit, nullptr)();
    const TCommitFault fault = std::exchange(Fault, TCommitFault::cfNone);
    if (fault == TCommitFault::cfLostBeforeCommit) Rollback();
    if (fault == TCommitFault::cfNone || fault == TCommitFault::cfLostAfterCommit) {
      if (!Watched([&] { return dbMain.commit(); })) {
        Fail(dbMain.lastError(), nullptr, codes);
        // Whether the server committed is not known: the calls are looked up before they go again.
        if (NoAnswer) Lost = true;
        if (Lost) Close();
        Rollback();
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
    std::vector<QString> codes;
    codes.reserve(rows.size());
    for (const TCallRow* row : rows) codes.push_back(row->SENH.Text());
    const TRowCodes masked(codes);
    RefusedRow.reset();
    if (Lost && !Open()) return TInsertOutcome::ioUnknown;
    if (!Watched([&] { return dbMain.transaction(); })) return Fail(dbMain.lastError(), nullptr), Failed();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!ExecInsert(*rows[i])) {
        if (Failed() == TInsertOutcome::ioRefused) RefusedRow = i;
        Rollback();
        return Failed();
      }
    }
    return Commit(codes);
  }

  bool CountEqual(const TCallRow& row, int& count) {
    // Right-trimmed: servers that pad fixed-width text would compare the padding otherwise.
    const auto trimmed = [](QString text) {
      while (text.endsWith(QLatin1Char(' '))) text.chop(1);
      return text;
    };
    quCallCount->bindValue(QStringLiteral(":DATA"), row.DATA.AsWritten());
    quCallCount->bindValue(QStringLiteral(":RAMA"), trimmed(row.RAMA.Text()));
    quCallCount->bindValue(QStringLiteral(":NUME_DISC"), trimmed(row.NUME_DISC.Text()));
    quCallCount->bindValue(QStringLiteral(":DURA"), trimmed(row.DURA.Text()));
    quCallCount->bindValue(QStringLiteral(":SENH"), trimmed(row.SENH.Text()));
    quCallCount->bindValue(QStringLiteral(":TRON"), trimmed(row.TRON.Text()));
    if (!Exec(*quCallCount) || !quCallCount->next())
      return Fail(quCallCount->lastError(), &*quCallCount, {row.SENH.Text()});
    count = quCallCount->value(0).toInt();
    quCallCount->finish();
    return true;
  }

  bool ReadDay(const QDateTime& day, TRowBlocks& rows) {
    rows.clear();
    TReadFailure failure;
    if (Watched([&] {
          return ReadDayRows(ConnectionHandle(dbMain), S.quCallSQL, day.date(), S.StatementLimitSeconds, rows,
                             failure);
        })) {
      return true;
    }
    Lost = Lost || failure.Lost;
    return Fail(failure.Text);
  }

  bool Stamp(const QDateTime& when) {
    // Written as the local clock shows it, which no time zone may move or make invalid.
    quUpPara->bindValue(QStringLiteral(":HORA_ULTI_TRAN_FONE"), AsWritten(when.date(), when.time()));
    return Exec(*quUpPara) || Fail(quUpPara->lastError(), &*quUpPara);
  }

  bool ReadClock(std::optional<QDateTime>& now) {
    QSqlQuery query(dbMain);
    query.setForwardOnly(true);
    if (!Prepare(query, Dialect->ClockQuery)) return false;
    if (!Exec(query) || !query.next()) return Fail(query.lastError(), &query);
    now = ToDateTime(query.value(QStringLiteral("data_atua")));
    return now->isValid() ||
           Fail(QStringLiteral("The server's clock gave no date: %1").arg(Dialect->ClockQuery));
  }
};

TCallStore::TCallStore(const TStoreSettings& settings, std::shared_ptr<TStatementWatch> watch)
    : FImpl(std::make_unique<TImpl>(settings, std::move(watch))) {}

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

std::optional<std::size_t> TCallStore::RefusedRow() const {
  return FImpl->RefusedRow;
}

TInsertOutcome TCallStore::InsertCall(const TCallRow& row) {
  const TRowCodes masked({row.SENH.Text()});
  if (FImpl->Lost && !FImpl->Open()) return TInsertOutcome::ioUnknown;
  return FImpl->ExecInsert(row) ? TInsertOutcome::ioStored : FImpl->Failed();
}

std::optional<int> TCallStore::CountStored(const TCallRow& row) {
  const TRowCodes masked({row.SENH.Text()});
  int count = 0;
  if (!FImpl->Run([&] { return FImpl->CountEqual(row, count); })) return std::nullopt;
  return count;
}

bool TCallStore::StampLastTransmission(const QDateTime& when) {
  return FImpl->Run([&] { return FImpl->Stamp(when); });
}

std::optional<QDateTime> TCallStore::fcDataAtual(const QString& flag) {
  std::optional<QDateTime> now;
  if (!FImpl->Run([&] { return FImpl->ReadClock(now); })) return std::nullopt;
  if (flag == QLatin1String("S")) return now;
  // The day as the window holds it: in a zone that skips midnight, the date's first hour.
  return now->date().startOfDay();
}

QString TCallStore::LastError() const {
  return FImpl->Error;
}

void TCallStore::InjectCommitFault(TCommitFault fault) {
  FImpl->Fault = fault;
}

void TCallStore::BeforeNextCommit(std::function<void()> hook) {
  FImpl->BeforeCommit = std::move(hook);
}

}  // namespace calls
