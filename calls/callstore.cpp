#include "callstore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <deque>

#include "calllistmodel.h"
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
  std::deque<TCallRow> Pending;  // arrival order
  TCallListModel Model;
  QString Error;
  bool Lost = true;  // the connection must be (re)opened before the next statement

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
    if (!dbMain.open()) return Fail(dbMain.lastError(), nullptr);
    Dialect = &S.DialectFor(DbmsName(dbMain));
    SetSessionZone();
    if (!Prepare(upCall, S.upCallInsertSQL) || !Prepare(quUpPara, S.quUpParaSQL)) {
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

  // Every pending row in one transaction: all are stored or none is, and none leaves the pending set
  // before the commit succeeded, so a retry never stores a row twice.
  bool TryApply() {
    if (!dbMain.transaction()) return Fail(dbMain.lastError(), nullptr);
    for (const TCallRow& row : Pending) {
      if (!ExecInsert(row)) {
        dbMain.rollback();
        return false;
      }
    }
    if (!dbMain.commit()) {
      Fail(dbMain.lastError(), nullptr);
      dbMain.rollback();
      return false;
    }
    Pending.clear();
    return true;
  }

  // With the server up but refusing the batch, one row it will not take (a constraint of the host
  // system, say) must not hold back every call behind it: the others go in one by one, each leaving the
  // pending set once its own insert succeeded, and the refused rows wait for the next apply.
  void ApplyOneByOne() {
    // A server that refuses everything then costs a few statements an apply, not one per waiting call.
    constexpr int MaxRefusedPerApply = 10;
    const QString batchError = Error;
    int refused = 0;
    std::erase_if(Pending, [&](const TCallRow& row) {
      if (Lost || refused == MaxRefusedPerApply) return false;
      if (ExecInsert(row)) return true;
      ++refused;
      return false;
    });
    Error = batchError;
  }

  bool quCallAfterPost() {
    if (Pending.empty() || Run([this] { return TryApply(); })) return true;
    if (!Lost) ApplyOneByOne();
    return Pending.empty();
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

bool TCallStore::OpenDayList(const QDateTime& day) {
  TRowBlocks rows;
  const bool read = FImpl->Run([&] { return FImpl->ReadDay(day, rows); });
  if (!read) rows.clear();
  for (const TCallRow& row : FImpl->Pending) rows.push_back(row);
  FImpl->Model.Reset(std::move(rows));
  return read;
}

bool TCallStore::AppendCall(const TCallRecord& call) {
  const auto limit = static_cast<std::size_t>(FImpl->S.PendingLimit);
  if (FImpl->Pending.size() >= limit && !FImpl->quCallAfterPost()) {
    FImpl->Error = QStringLiteral("Chamada recusada: %1 chamadas já aguardam o servidor (%2)")
                       .arg(limit)
                       .arg(FImpl->Error);
    return false;
  }
  const TCallRow row = CallRowFrom(call);
  FImpl->Pending.push_back(row);
  FImpl->Model.Append(row);
  return true;
}

bool TCallStore::ApplyPending() {
  return FImpl->quCallAfterPost();
}

bool TCallStore::InsertCall(const TCallRecord& call) {
  return AppendCall(call) && ApplyPending();
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

QAbstractItemModel& TCallStore::dsCall() {
  return FImpl->Model;
}

int TCallStore::PendingCount() const {
  return static_cast<int>(FImpl->Pending.size());
}

QString TCallStore::LastError() const {
  return FImpl->Error;
}

}  // namespace calls
