// The database worker: all work on the host database, on a thread of its own, so a server that is
// down or hangs never holds the window or the serial line. The interface thread asks through queued
// calls of the slots; the worker answers through its signals. It owns dbMain (through TCallStore) and
// its own connection to the journal, both made in its thread by Start().
#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "delivery.h"
#include "rowblocks.h"
#include "statementwatch.h"
#include "storesettings.h"

class QTimer;

namespace calls {

class TCallStore;
class TJournal;

// A statement that keeps failing while the server is reached, retried on its own schedule.
struct THostTrouble {
  QString Error;    // the driver's text of its last failure; empty while it works
  QDateTime Since;  // failing since
};

// What the operator is told of the host database.
struct THostStatus {
  bool Tried = false;      // false until the first attempt has ended
  bool Reachable = false;
  QString Error;           // the driver's text of the last failure to reach the server or to deliver
  QDateTime Since;         // unreachable since
  int Waiting = 0;         // calls in the journal, not yet in the host database
  int Refused = 0;         // calls set aside after the server kept refusing them
  // The statements besides delivery; none of them holds back a call.
  THostTrouble Stamp;    // the last transmission's time in TBPARA
  THostTrouble Clock;    // the server's date (the local one is used meanwhile)
  THostTrouble DayList;  // the day's list (the grid shows the journal's calls meanwhile)
};

// The grid's list of a day: the server's calls (or, while it cannot be read, the journal's delivered
// ones), then the calls not yet delivered; LastId: the newest journal line when it was read.
struct TDayList {
  QDateTime Day;
  TRowBlocks Rows;
  qint64 LastId = 0;
};
using TDayListPtr = std::shared_ptr<TDayList>;  // one receiver: it may take the rows

// When a job that keeps failing is tried again: at once until it fails, then 1 s, 2 s, 4 s ... up to
// MaxSeconds after each failure. Real time, not the worker's clock.
class TBackoff {
 public:
  static constexpr int MaxSeconds = 30;
  void Failed();
  void Succeeded() { *this = {}; }
  bool Due() const { return FDue.hasExpired(); }
  qint64 RemainingMs() const { return FDue.remainingTime(); }

 private:
  int FSeconds = 0;
  QDeadlineTimer FDue;  // expired: due
};

class TStoreWorker : public QObject {
  Q_OBJECT
 public:
  // While the server cannot be reached or refuses, attempts are spaced 1 s, 2 s, 4 s ... up to this.
  static constexpr int MaxBackoffSeconds = TBackoff::MaxSeconds;

  TStoreWorker(TStoreSettings settings, QString journalPath, TClock clock);
  ~TStoreWorker() override;

  // The store, for tests that make its next commit fail; only from the worker's thread.
  TCallStore* Store() const { return FStore.get(); }
  // When the statement the worker is waiting for began: from any thread, while the worker waits.
  std::shared_ptr<const TStatementWatch> Watch() const { return FWatch; }

 public slots:
  // Opens the connections; calls left waiting by an earlier run are delivered first.
  void Start();
  // New calls are in the journal.
  void DeliverWaiting();
  // The last transmission's time for TBPARA; of several waiting, only the latest is written.
  void Stamp(const QDateTime& when);
  // The day's list for the grid. A new day also prunes the journal and retries set-aside calls.
  void OpenDay(const QDateTime& day);
  // The server's date, for the day the grid shows.
  void ReadServerDate();

 signals:
  void Delivered(const QList<qint64>& journalIds);
  void SetAside(const QString& line, const QString& reason);
  void StatusChanged(const calls::THostStatus& status);
  void DayListed(const calls::TDayListPtr& list);
  void ServerDate(const QDateTime& day);
  // Something the operator should read in the log panel (the journal could not be read, say).
  void Trouble(const QString& text);

 private:
  void Schedule();
  void Work();
  void ArmRetry();
  bool Reach();
  // Each job: false when it found the server gone.
  bool Deliver();
  bool WriteStamp();
  bool ReadDate();
  bool ListDay();
  void ListJournalDay();
  void SendDayList(const TDayListPtr& list);
  bool Failed(THostTrouble& trouble, TBackoff& retry);
  void Down(const QString& error);
  void Report();

  TStoreSettings FSettings;
  QString FJournalPath;
  TClock FClock;
  std::shared_ptr<TStatementWatch> FWatch;
  std::unique_ptr<TJournal> FJournal;
  std::unique_ptr<TCallStore> FStore;
  std::unique_ptr<TDelivery> FDelivery;
  QTimer* FRetry = nullptr;
  bool FWorkPosted = false;
  // A server that cannot be reached is tried again on the connection's schedule; once reached,
  // every job on its own, so one failing statement holds back no other.
  TBackoff FConnectRetry;
  TBackoff FDeliverRetry;
  TBackoff FStampRetry;
  TBackoff FDateRetry;
  TBackoff FDayRetry;

  bool FWantDeliver = false;
  bool FWantDate = false;
  std::optional<QDateTime> FWantStamp;
  std::optional<QDateTime> FWantDay;
  bool FJournalDaySent = false;
  QDate FPrunedOn;
  THostStatus FStatus;
};

}  // namespace calls

Q_DECLARE_METATYPE(calls::THostStatus)
Q_DECLARE_METATYPE(calls::TDayListPtr)
