#include "journalrecovery.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <vector>

#include "journalsql.h"

namespace calls {

using namespace journalsql;

namespace {

// Columns of DamagedRowsSQL.
enum TColumn { coId, coHoraRece, coByte, coSitu = 9, coCount = 15 };

constexpr qint64 ChunkRows = 1000;
// A journal whose table root is gone fails every read: give up after this many rather than take
// minutes at start-up.
constexpr int MaxFailedReads = 20000;

using TRow = QVariantList;

// Reads a damaged journal by rowid, halving a range whose read fails until the unreadable rows are
// found and stepped over.
class TDamagedReader {
 public:
  explicit TDamagedReader(const QSqlDatabase& damaged) : FRange(damaged), FRow(damaged) {
    FRange.setForwardOnly(true);
    FRange.prepare(DamagedRowsSQL);
    FRow.setForwardOnly(true);
    FRow.prepare(DamagedRowSQL);
  }

  void ReadAll(qint64 lastId, const std::function<void(const TRow&)>& take) {
    for (qint64 first = 1; first <= lastId && FFailed < MaxFailedReads; first += ChunkRows)
      Range(first, std::min(lastId, first + ChunkRows - 1), take);
  }

 private:
  void Range(qint64 first, qint64 last, const std::function<void(const TRow&)>& take) {
    if (FFailed >= MaxFailedReads) return;
    QSqlQuery& query = first == last ? FRow : FRange;
    query.bindValue(0, first);
    if (first != last) query.bindValue(1, last);
    std::vector<TRow> rows;
    bool read = query.exec();
    while (read && query.next()) {
      TRow row;
      for (int column = 0; column < coCount; ++column) row.push_back(query.value(column));
      rows.push_back(std::move(row));
    }
    // A read can fail half way through its range: its rows are taken only when it got to the end.
    read = read && !query.lastError().isValid();
    query.finish();
    if (read) {
      for (const TRow& row : rows) take(row);
      return;
    }
    ++FFailed;
    if (first == last) return;
    const qint64 middle = first + (last - first) / 2;
    Range(first, middle, take);
    Range(middle + 1, last, take);
  }

  QSqlQuery FRange;
  QSqlQuery FRow;
  int FFailed = 0;
};

// The highest id the damaged journal ever gave, from SQLite's own counter or else from the table.
qint64 LastId(const QSqlDatabase& damaged) {
  QSqlQuery query(damaged);
  for (const QString& statement : {LastIdEverSQL, LastIdSQL}) {
    if (query.exec(statement) && query.next()) return query.value(0).toLongLong();
  }
  return 0;
}

// A journal time (text that sorts) some days earlier, by its date alone: no time zone involved.
QString DaysBefore(const QString& time, int days) {
  const QDate date = QDate::fromString(time.left(10), QStringLiteral("yyyy-MM-dd"));
  return date.addDays(-days).toString(QStringLiteral("yyyy-MM-dd")) + time.mid(10);
}

class TCopier {
 public:
  TCopier(const QSqlDatabase& into, int resentDays)
      : FInsert(into),
        FResent(into),
        FResentDays(resentDays),
        FKeepFrom(DaysBefore(QDateTime::currentDateTime().toString(TimeFormat),
                             resentDays)) {
    FOk = FInsert.prepare(CopySQL) && FResent.prepare(ResentSQL);
  }

  void Take(const TRow& row) {
    if (!FOk) return;
    const int situ = row[coSitu].toInt();
    const bool undelivered = situ == stWaiting || situ == stRefused;
    const bool guarded = situ == stDelivered && row[coHoraRece].toString() >= FKeepFrom;
    if (!undelivered && !guarded) return;
    if (undelivered && SentBefore(row)) return;
    for (int column = coHoraRece; column < coCount; ++column) FInsert.addBindValue(row[column]);
    FOk = FInsert.exec();
    if (FOk && undelivered) ++FCalls;
  }

  TRecovery Result(const QString& file) const {
    return {
        FCalls,
        FOk ? QString() : (FInsert.lastError().isValid() ? FInsert.lastError() : FResent.lastError()).text(),
        file};
  }

 private:
  bool SentBefore(const TRow& row) {
    FResent.addBindValue(row[coByte]);
    FResent.addBindValue(DaysBefore(row[coHoraRece].toString(), FResentDays));
    FOk = FResent.exec();
    const bool found = FOk && FResent.next();
    FResent.finish();
    return found;
  }

  QSqlQuery FInsert;
  QSqlQuery FResent;
  int FResentDays;
  QString FKeepFrom;
  bool FOk = false;
  int FCalls = 0;
};

}  // namespace

namespace {

// The file's recovery committed, in the transaction under way (or on its own).
bool MarkRecovered(const QSqlDatabase& into, const QString& damagedPath, QString& error) {
  QSqlQuery query(into);
  query.prepare(RecoveredSQL);
  query.addBindValue(QFileInfo(damagedPath).fileName());
  if (query.exec()) return true;
  error = query.lastError().text();
  return false;
}

bool WasRecovered(const QSqlDatabase& into, const QString& damagedPath) {
  QSqlQuery query(into);
  query.prepare(WasRecoveredSQL);
  query.addBindValue(QFileInfo(damagedPath).fileName());
  return query.exec() && query.next();
}

// The files set aside beside the journal, oldest first (their names end in the time they were set
// aside), without their companions.
QStringList SetAsideFiles(const QString& journalPath) {
  const QFileInfo journal(journalPath);
  const QRegularExpression name(QRegularExpression::anchoredPattern(
      QRegularExpression::escape(journal.fileName()) + QStringLiteral("\\.danificado-\\d{8}-\\d{6}")));
  QStringList files;
  for (const QString& file : journal.dir().entryList({journal.fileName() + QStringLiteral(".danificado-*")},
                                                     QDir::Files, QDir::Name)) {
    if (name.match(file).hasMatch()) files << journal.dir().filePath(file);
  }
  return files;
}

}  // namespace

TRecovery RecoverDamagedJournal(const QString& damagedPath, const QSqlDatabase& into, int resentDays) {
  const QString name = into.connectionName() + QStringLiteral("-damaged");
  TRecovery result{0, {}, damagedPath};
  {
    QSqlDatabase damaged = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    damaged.setDatabaseName(damagedPath);
    damaged.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!damaged.open()) {
      result.Error = damaged.lastError().text();
    } else {
      QSqlDatabase target = into;
      QSqlQuery begin(target);
      if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        result.Error = begin.lastError().text();
      } else {
        TCopier copier(target, resentDays);
        TDamagedReader(damaged).ReadAll(LastId(damaged), [&copier](const TRow& row) { copier.Take(row); });
        result = copier.Result(damagedPath);
        // Recorded in the copy's own commit: until then the file is still to be recovered.
        if (result.Error.isEmpty()) MarkRecovered(target, damagedPath, result.Error);
        if (result.Error.isEmpty() && !target.commit()) result.Error = target.lastError().text();
        if (!result.Error.isEmpty()) {
          target.rollback();
          result.Calls = 0;
        }
      }
      damaged.close();
    }
  }
  QSqlDatabase::removeDatabase(name);
  return result;
}

TRecovery RecoverPendingJournals(const QString& journalPath, const QSqlDatabase& into, int resentDays,
                                 bool olderJournal) {
  TRecovery all;
  for (const QString& file : SetAsideFiles(journalPath)) {
    if (olderJournal) {
      MarkRecovered(into, file, all.Error);
      continue;
    }
    if (WasRecovered(into, file)) continue;
    const TRecovery one = RecoverDamagedJournal(file, into, resentDays);
    all.Calls += one.Calls;
    if (all.Error.isEmpty()) all.Error = one.Error;
    all.File = file;
  }
  return all;
}

}  // namespace calls
