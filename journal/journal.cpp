#include "journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <condition_variable>
#include <mutex>

#include "journalrecovery.h"
#include "journalsql.h"
#include "journaltail.h"
#include "privatefolder.h"

namespace calls {

using namespace journalsql;

namespace {

QString TimeText(const QDateTime& when) {
  return when.toString(TimeFormat);
}

QVariant Text(const std::string& text) {
  return QString::fromStdString(text);
}

// Written from the fields: a local QDateTime would look the time zone up for every call.
QVariant CallDate(const TLocalDateTime& d) {
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.000", d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second);
}

// TimeFormat's text read field by field, for the same reason: 100,000 waiting calls are read at start-up.
TLocalStamp StampFrom(const QString& text) {
  const auto number = [&text](int at, int digits) {
    int value = 0;
    for (int i = at; i < at + digits && i < text.size(); ++i) value = value * 10 + text[i].digitValue();
    return value;
  };
  const QDate date(number(0, 4), number(5, 2), number(8, 2));
  const QTime time(number(11, 2), number(14, 2), number(17, 2), number(20, 3));
  return date.isValid() && time.isValid() ? TLocalStamp(date, time) : TLocalStamp();
}

// A row of CallColumns as a grid row.
TCallRow RowFrom(const QSqlQuery& query, bool waiting) {
  TCallRow row;
  row.DATA = StampFrom(query.value(1).toString());
  row.RAMA.Assign(query.value(2).toString());
  row.NUME_DISC.Assign(query.value(3).toString());
  row.DURA.Assign(query.value(4).toString());
  row.SENH.Assign(query.value(5).toString());
  row.TRON.Assign(query.value(6).toString());
  row.TIPO.AssignNull();
  row.JournalId = query.value(0).toLongLong();
  row.Waiting = waiting;
  return row;
}

// The interface thread's writes go first. SQLite gives the write lock to whichever connection asks
// first after a commit, and its busy handler sleeps between asks: a worker committing one mark after
// another, each through its own fsync, took the lock again within milliseconds while the interface
// thread slept, and on a slow disk kept it waiting for seconds. While a connection claims its turn,
// the others of this process begin no write (for a few seconds at most, should it never come back).
class TWriteTurn {
 public:
  void Claim(bool claimed) {
    {
      const std::lock_guard lock(FMutex);
      FClaims += claimed ? 1 : -1;
    }
    FFree.notify_all();
  }
  void Await() {
    std::unique_lock lock(FMutex);
    FFree.wait_for(lock, std::chrono::seconds(3), [this] { return FClaims == 0; });
  }

 private:
  std::mutex FMutex;
  std::condition_variable FFree;
  int FClaims = 0;
};

TWriteTurn& WriteTurn() {
  static TWriteTurn turn;
  return turn;
}

// SQLite's codes for a file that is not a database, or whose pages are damaged.
bool IsCorruption(const QSqlError& error) {
  const QString code = error.nativeErrorCode();
  return code == QLatin1String("26") || code == QLatin1String("11");
}

}  // namespace

TJournal::TJournal(QString connectionName) : FConnectionName(std::move(connectionName)) {}

TJournal::~TJournal() {
  Claim(false);
  {
    QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
    if (db.isValid()) db.close();
  }
  if (QSqlDatabase::contains(FConnectionName)) QSqlDatabase::removeDatabase(FConnectionName);
}

bool TJournal::Fail(const QString& what) {
  FError = QStringLiteral("%1: %2").arg(FPath, what);
  return false;
}

bool TJournal::Exec(const QString& statement) {
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  return query.exec(statement) || Fail(query.lastError().text());
}

// Takes the write lock at once: a transaction that reads first and writes later fails outright when
// the other thread's connection wrote in between, where this one waits its turn.
bool TJournal::BeginWrite() {
  if (!FClaimed) WriteTurn().Await();
  return Exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void TJournal::Claim(bool claimed) {
  if (std::exchange(FClaimed, claimed) != claimed) WriteTurn().Claim(claimed);
}

bool TJournal::Reserve(std::chrono::milliseconds wait) {
  FBusy = false;
  if (FReserved) return true;
  Claim(true);
  QSqlQuery begin(QSqlDatabase::database(FConnectionName, false));
  if (begin.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(wait.count())) &&
      begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
    return FReserved = true;
  // SQLITE_BUSY: the claim stays, so the lock is this connection's at its next try.
  FBusy = begin.lastError().nativeErrorCode() == QLatin1String("5");
  if (!FBusy) Claim(false);
  return Fail(begin.lastError().text());
}

void TJournal::Release() {
  if (std::exchange(FReserved, false)) QSqlDatabase::database(FConnectionName, false).rollback();
  Claim(false);
}

bool TJournal::Open(const QString& path, bool setAsideDamaged) {
  FPath = path;
  FSetAside.clear();
  FRecovered = {};
  const QFileInfo file(path);
  QString error;
  if (!MakePrivate(file.absolutePath(), file.fileName(), error)) return Fail(error);
  for (int attempt = 0; attempt < 2; ++attempt) {
    switch (Connect()) {
      case TOpened::opSound:
        return Begin(setAsideDamaged);
      case TOpened::opFailed:
        return false;
      case TOpened::opDamaged:
        if (!setAsideDamaged) return Fail(QStringLiteral("the journal is damaged"));
        QSqlDatabase::database(FConnectionName, false).close();
        SetFileAside(path);
        break;
    }
  }
  return Fail(QStringLiteral("a new journal could not be begun"));
}

bool TJournal::Begin(bool recover) {
  const QFileInfo file(FPath);
  QSqlQuery older(QSqlDatabase::database(FConnectionName, false));
  if (!Exec(QStringLiteral("PRAGMA synchronous=FULL"))) return false;
  if (!older.exec(OlderJournalSQL) || !older.next()) return Fail(older.lastError().text());
  const bool olderJournal = older.value(0).toInt() > 0;
  older.finish();
  // Made private again: SQLite made the file and its companions as the umask says.
  if (!CreateSchema()) return false;
  if (QString error; !MakePrivate(file.absolutePath(), file.fileName(), error)) return Fail(error);
  if (recover) {
    FRecovered = RecoverPendingJournals(FPath, QSqlDatabase::database(FConnectionName, false), ResentDays,
                                        olderJournal);
    FSetAside = FRecovered.File;
  }
  return true;
}

TJournal::TOpened TJournal::Connect() {
  if (QSqlDatabase::contains(FConnectionName)) QSqlDatabase::removeDatabase(FConnectionName);
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName);
  db.setDatabaseName(FPath);
  // Another thread's connection may hold the write lock for a moment; never for long.
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  if (!db.open()) return Fail(db.lastError().text()), TOpened::opFailed;
  // The first statement reads the file: a file that is no database fails here.
  QSqlQuery query(db);
  if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
    return IsCorruption(query.lastError()) ? TOpened::opDamaged
                                           : (Fail(query.lastError().text()), TOpened::opFailed);
  }
  if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) {
    return IsCorruption(query.lastError()) ? TOpened::opDamaged
                                           : (Fail(query.lastError().text()), TOpened::opFailed);
  }
  return query.value(0).toString() == QLatin1String("ok") ? TOpened::opSound : TOpened::opDamaged;
}

// Never deleted: the calls in it may still be read by hand. Its recovery is pending until it commits.
void TJournal::SetFileAside(const QString& path) {
  const QString aside =
      path + QDateTime::currentDateTime().toString(QStringLiteral("'.danificado-'yyyyMMdd-HHmmss"));
  for (const char* suffix : {"-wal", "-shm"}) {
    const QString companion = path + QLatin1String(suffix);
    if (QFile::exists(companion)) QFile::rename(companion, aside + QLatin1String(suffix));
  }
  QFile::rename(path, aside);
}

bool TJournal::CreateSchema() {
  for (const char* statement : Schema) {
    if (!Exec(QLatin1String(statement))) return false;
  }
  return true;
}

bool TJournal::Append(const std::vector<TReceivedLine>& lines, std::vector<TJournaled>& journaled,
                      const std::string* tail) {
  QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
  journaled.assign(lines.size(), {});
  const auto turnEnds = qScopeGuard([this] { Claim(false); });
  if (!std::exchange(FReserved, false) && !BeginWrite()) return false;
  QSqlQuery resent(db);
  QSqlQuery insert(db);
  if (!resent.prepare(ResentSQL) || !insert.prepare(InsertSQL)) {
    db.rollback();
    return Fail(resent.lastError().isValid() ? resent.lastError().text() : insert.lastError().text());
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TReceivedLine& line = lines[i];
    const QByteArray bytes(line.Bytes.data(), static_cast<qsizetype>(line.Bytes.size()));
    if (line.Call) {
      resent.addBindValue(bytes);
      resent.addBindValue(TimeText(line.Received.addDays(-ResentDays)));
      if (!resent.exec()) break;
      if (resent.next()) {
        journaled[i].Resent = true;
        resent.finish();
        continue;
      }
    }
    insert.addBindValue(TimeText(line.Received));
    insert.addBindValue(bytes);
    const TCallRecord* call = line.Call ? &*line.Call : nullptr;
    const QVariant none(QMetaType::fromType<QString>());
    insert.addBindValue(call ? CallDate(call->DATA) : none);
    insert.addBindValue(call ? Text(call->RAMA) : none);
    insert.addBindValue(call ? Text(call->NUME_DISC) : none);
    insert.addBindValue(call ? Text(call->DURA) : none);
    insert.addBindValue(call ? Text(call->SENH) : none);
    insert.addBindValue(call ? Text(call->TRON) : none);
    insert.addBindValue(call ? stWaiting : stNotACall);
    if (!insert.exec()) break;
    journaled[i].Id = insert.lastInsertId().toLongLong();
  }
  QSqlError error = resent.lastError().isValid() ? resent.lastError() : insert.lastError();
  if (!error.isValid() && tail != nullptr) error = KeepTail(db, *tail);
  if (error.isValid() || !db.commit()) {
    const QString text = error.isValid() ? error.text() : db.lastError().text();
    db.rollback();
    journaled.assign(lines.size(), {});
    return Fail(text);
  }
  return true;
}

namespace {

TWaitingCall WaitingFrom(const QSqlQuery& query) {
  return {query.value(0).toLongLong(), RowFrom(query, true), query.value(7).toBool()};
}

}  // namespace

bool TJournal::Waiting(qint64 afterId, int limit, std::vector<TWaitingCall>& calls) {
  calls.clear();
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  query.setForwardOnly(true);
  query.prepare(WaitingSQL);
  query.addBindValue(afterId);
  query.addBindValue(limit);
  if (!query.exec()) return Fail(query.lastError().text());
  while (query.next()) calls.push_back(WaitingFrom(query));
  return true;
}

bool TJournal::LeastTried(qint64 exceptId, std::optional<TWaitingCall>& call) {
  call.reset();
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  query.setForwardOnly(true);
  query.prepare(LeastTriedSQL);
  query.addBindValue(exceptId);
  if (!query.exec()) return Fail(query.lastError().text());
  if (query.next()) call = WaitingFrom(query);
  return true;
}

namespace {

// Runs a prepared statement once per id, the value bound before the id.
bool ForEachId(const QSqlDatabase& db, const QString& statement, const QVariant& value,
               const std::vector<qint64>& ids, QString& error) {
  if (ids.empty()) return true;
  QSqlQuery query(db);
  bool ok = query.prepare(statement);
  for (std::size_t i = 0; ok && i < ids.size(); ++i) {
    query.addBindValue(value);
    query.addBindValue(ids[i]);
    ok = query.exec();
  }
  if (!ok) error = query.lastError().text();
  return ok;
}

bool CountRefusals(const QSqlDatabase& db, const TMarks& marks, std::vector<TSetAside>& setAside,
                   QString& error) {
  if (marks.Refused.empty()) return true;
  QSqlQuery count(db);
  QSqlQuery aside(db);
  bool ok = count.prepare(RefusalSQL) && aside.prepare(SetAsideSQL);
  const QString taken = marks.LastTaken.isValid() ? TimeText(marks.LastTaken) : QString();
  for (const auto& [id, reason] : marks.Refused) {
    if (!ok) break;
    count.addBindValue(taken);
    count.addBindValue(TimeText(marks.Now));
    count.addBindValue(reason);
    count.addBindValue(id);
    aside.addBindValue(id);
    aside.addBindValue(TJournal::RefusalsToSetAside);
    ok = count.exec() && aside.exec();
    if (ok && aside.next()) {
      const QByteArray bytes = aside.value(0).toByteArray();
      setAside.push_back({id, bytes.toStdString(), aside.value(1).toString()});
    }
    aside.finish();
  }
  if (!ok) error = count.lastError().isValid() ? count.lastError().text() : aside.lastError().text();
  return ok;
}

}  // namespace

bool TJournal::Mark(const TMarks& marks, std::vector<TSetAside>& setAside) {
  setAside.clear();
  if (marks.Delivered.empty() && marks.Settled.empty() && marks.InDoubt.empty() && marks.Refused.empty())
    return true;
  QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
  if (!BeginWrite()) return false;
  QString error;
  bool ok = ForEachId(db, DeliveredMarkSQL, TimeText(marks.Committed), marks.Delivered, error) &&
            ForEachId(db, InDoubtSQL, 0, marks.Settled, error) &&
            ForEachId(db, InDoubtSQL, 1, marks.InDoubt, error) && CountRefusals(db, marks, setAside, error);
  if (ok && !db.commit()) {
    ok = false;
    error = db.lastError().text();
  }
  if (ok) return true;
  db.rollback();
  setAside.clear();
  return Fail(error);
}

bool TJournal::ReviveRefused() {
  return Exec(ReviveSQL);
}

bool TJournal::Prune(const QDateTime& now) {
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  query.prepare(PruneSQL);
  query.addBindValue(TimeText(now.addDays(-KeepDays)));
  return query.exec() || Fail(query.lastError().text());
}

bool TJournal::Counts(TJournalCounts& counts) {
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  if (!query.exec(CountsSQL) || !query.next()) return Fail(query.lastError().text());
  counts = {query.value(0).toInt(), query.value(1).toInt()};
  return true;
}

QDateTime TJournal::LastDelivery() {
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  if (!query.exec(LastDeliverySQL) || !query.next()) return {};
  return QDateTime::fromString(query.value(0).toString(), TimeFormat);
}

bool TJournal::DeliveredCalls(const QDateTime& day, TRowBlocks& rows) {
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  query.setForwardOnly(true);
  query.prepare(DeliveredSQL);
  // The date's midnight as written: in a zone that skips it, startOfDay() would be an hour later.
  query.addBindValue(TimeText(AsWritten(day.date(), QTime(0, 0))));
  if (!query.exec()) return Fail(query.lastError().text());
  while (query.next()) rows.push_back(RowFrom(query, false));
  return true;
}

bool TJournal::UndeliveredCalls(TRowBlocks& rows, qint64& lastId) {
  // One read transaction: lastId is the newest line of the same snapshot the rows come from.
  QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
  if (!db.transaction()) return Fail(db.lastError().text());
  QSqlQuery query(db);
  query.setForwardOnly(true);
  bool ok = query.exec(UndeliveredSQL);
  while (ok && query.next()) rows.push_back(RowFrom(query, true));
  ok = ok && query.exec(LastIdSQL) && query.next();
  if (ok) lastId = query.value(0).toLongLong();
  const QString error = query.lastError().text();
  query.finish();
  db.commit();
  return ok || Fail(error);
}

}  // namespace calls
