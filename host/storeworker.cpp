#include "storeworker.h"

#include <QTimer>
#include <algorithm>

#include "callstore.h"
#include "cp1252.h"
#include "journal.h"

namespace calls {

TStoreWorker::TStoreWorker(TStoreSettings settings, QString journalPath, TClock clock)
    : FSettings(std::move(settings)), FJournalPath(std::move(journalPath)), FClock(std::move(clock)) {
  qRegisterMetaType<THostStatus>();
  qRegisterMetaType<TDayListPtr>();
  qRegisterMetaType<QList<qint64>>();
}

TStoreWorker::~TStoreWorker() = default;

void TStoreWorker::Start() {
  FRetry = new QTimer(this);
  FRetry->setSingleShot(true);
  connect(FRetry, &QTimer::timeout, this, &TStoreWorker::Work);
  FJournal = std::make_unique<TJournal>(QStringLiteral("journal-worker"));
  // The window opened it first and set a damaged file aside already.
  if (!FJournal->Open(FJournalPath, false)) emit Trouble(FJournal->LastError());
  FStore = std::make_unique<TCallStore>(FSettings);
  FDelivery = std::make_unique<TDelivery>(*FJournal, *FStore, FClock);
  DeliverWaiting();
}

void TStoreWorker::DeliverWaiting() {
  FWantDeliver = true;
  Schedule();
}

void TStoreWorker::Stamp(const QDateTime& when) {
  FWantStamp = when;
  Schedule();
}

void TStoreWorker::OpenDay(const QDateTime& day) {
  const QDateTime now = FClock();
  if (FPrunedOn != now.date()) {
    // At start-up and at each change of day.
    FPrunedOn = now.date();
    if (!FJournal->Prune(now) || !FJournal->ReviveRefused()) emit Trouble(FJournal->LastError());
    FWantDeliver = true;
  }
  FWantDay = day;
  FJournalDaySent = false;
  Schedule();
}

void TStoreWorker::ReadServerDate() {
  FWantDate = true;
  Schedule();
}

// Requests that come while a back-off runs wait for it: an outage costs one attempt a back-off step,
// not one per call or per tick.
void TStoreWorker::Schedule() {
  if (FWorkPosted || FRetry == nullptr || FRetry->isActive()) return;
  FWorkPosted = true;
  QTimer::singleShot(0, this, &TStoreWorker::Work);
}

void TStoreWorker::Work() {
  FWorkPosted = false;
  if (!Reach() || !ReadDate() || !ListDay()) return;
  const TStep delivered = Deliver();
  if (delivered == TStep::stDown) return;
  // The stamp goes after the calls, and also when the server refuses some of them.
  const TStep stamped = WriteStamp();
  if (stamped == TStep::stDown) return;
  if (delivered == TStep::stMore) {
    // One batch at a time, so requests that came meanwhile are seen between batches.
    Report();
    Schedule();
    return;
  }
  if (delivered == TStep::stRefused || stamped == TStep::stRefused) return Wait(FStatus.Error);
  FBackoffSeconds = 0;
  FStatus.Error.clear();
  Report();
}

bool TStoreWorker::Reach() {
  if (FStore->IsConnected()) return true;
  if (FStore->Connect()) {
    // Back (or there at last): the operator sees the waiting calls counted before they go in.
    Report();
    return true;
  }
  // The grid shows the journal's calls of the day until the server's list can be read.
  if (FWantDay && !FJournalDaySent) ListJournalDay();
  Down(FStore->LastError());
  return false;
}

bool TStoreWorker::ReadDate() {
  if (!FWantDate) return true;
  const std::optional<QDateTime> day = FStore->fcDataAtual(QStringLiteral("N"));
  if (!day) return Down(FStore->LastError()), false;
  FWantDate = false;
  emit ServerDate(*day);
  return true;
}

bool TStoreWorker::ListDay() {
  if (!FWantDay) return true;
  auto list = std::make_shared<TDayList>();
  list->Day = *FWantDay;
  if (!FStore->ReadDay(list->Day, list->Rows)) {
    if (!FJournalDaySent) ListJournalDay();
    Down(FStore->LastError());
    return false;
  }
  FWantDay.reset();
  SendDayList(list);
  return true;
}

void TStoreWorker::ListJournalDay() {
  auto list = std::make_shared<TDayList>();
  list->Day = *FWantDay;
  if (!FJournal->DeliveredCalls(list->Day, list->Rows)) emit Trouble(FJournal->LastError());
  FJournalDaySent = true;
  SendDayList(list);
}

// The calls not yet delivered go at the end, whichever list they complete.
void TStoreWorker::SendDayList(const TDayListPtr& list) {
  if (!FJournal->UndeliveredCalls(list->Rows, list->LastId)) emit Trouble(FJournal->LastError());
  emit DayListed(list);
}

TStoreWorker::TStep TStoreWorker::Deliver() {
  if (!FWantDeliver) return TStep::stDone;
  const TDeliveryReport report = FDelivery->quCallAfterPost();
  if (!report.Delivered.empty()) emit Delivered(QList<qint64>(report.Delivered.begin(), report.Delivered.end()));
  for (const TSetAside& call : report.SetAside) {
    emit SetAside(QString::fromStdString(Cp1252ToUtf8(call.Bytes)), call.Reason);
  }
  if (report.ServerDown) return Down(report.Error), TStep::stDown;
  if (report.More) return TStep::stMore;
  if (report.Refusing || !report.Error.isEmpty()) {
    FStatus.Error = report.Error;
    return TStep::stRefused;
  }
  FWantDeliver = false;
  return TStep::stDone;
}

TStoreWorker::TStep TStoreWorker::WriteStamp() {
  if (!FWantStamp) return TStep::stDone;
  if (FStore->StampLastTransmission(*FWantStamp)) {
    FWantStamp.reset();
    return TStep::stDone;
  }
  if (!FStore->IsConnected()) return Down(FStore->LastError()), TStep::stDown;
  FStatus.Error = FStore->LastError();
  return TStep::stRefused;
}

void TStoreWorker::Down(const QString& error) {
  // Since the first failure after the server was last reached.
  if (FStatus.Reachable || !FStatus.Tried) FStatus.Since = FClock();
  Wait(error);
}

// Tries again after the next back-off step.
void TStoreWorker::Wait(const QString& error) {
  FStatus.Error = error;
  FBackoffSeconds = FBackoffSeconds == 0 ? 1 : std::min(FBackoffSeconds * 2, MaxBackoffSeconds);
  FRetry->start(FBackoffSeconds * 1000);
  Report();
}

void TStoreWorker::Report() {
  FStatus.Tried = true;
  FStatus.Reachable = FStore->IsConnected();
  TJournalCounts counts;
  if (FJournal->Counts(counts)) {
    FStatus.Waiting = counts.Waiting;
    FStatus.Refused = counts.Refused;
  }
  emit StatusChanged(FStatus);
}

}  // namespace calls
