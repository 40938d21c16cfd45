#include "storeworker.h"

#include <QTimer>
#include <algorithm>

#include "callstore.h"
#include "cp1252.h"
#include "journal.h"

namespace calls {

void TBackoff::Failed() {
  FSeconds = FSeconds == 0 ? 1 : std::min(FSeconds * 2, MaxSeconds);
  FDue.setRemainingTime(FSeconds * 1000);
}

TStoreWorker::TStoreWorker(TStoreSettings settings, QString journalPath, TClock clock)
    : FSettings(std::move(settings)),
      FJournalPath(std::move(journalPath)),
      FClock(std::move(clock)),
      FWatch(std::make_shared<TStatementWatch>()) {
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
  FStore = std::make_unique<TCallStore>(FSettings, FWatch);
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
  if (FWantDay != day) FDayRetry.Succeeded();
  FWantDay = day;
  FJournalDaySent = false;
  Schedule();
}

void TStoreWorker::ReadServerDate() {
  FWantDate = true;
  Schedule();
}

void TStoreWorker::Schedule() {
  if (FWorkPosted || FRetry == nullptr) return;
  FWorkPosted = true;
  QTimer::singleShot(0, this, &TStoreWorker::Work);
}

// Requests that come while a job's back-off runs wait for it: an outage or a refusing server costs
// one attempt a back-off step, not one per call or per tick.
void TStoreWorker::Work() {
  FWorkPosted = false;
  const bool deliver = FWantDeliver && FDeliverRetry.Due();
  const bool stamp = FWantStamp && FStampRetry.Due();
  const bool date = FWantDate && FDateRetry.Due();
  const bool day = FWantDay && FDayRetry.Due();
  if ((deliver || stamp || date || day) && Reach()) {
    // The calls first; the stamp goes after them, also when the server refuses some.
    const bool up =
        (!deliver || Deliver()) && (!stamp || WriteStamp()) && (!date || ReadDate()) && (!day || ListDay());
    if (up) {
      FConnectRetry.Succeeded();
      Report();
    }
  }
  ArmRetry();
}

// The next attempt: the soonest job's, and while the server cannot be reached, no sooner than the
// next connect.
void TStoreWorker::ArmRetry() {
  if (FWorkPosted) return;
  qint64 wait = -1;
  const auto consider = [&wait](bool wanted, const TBackoff& retry) {
    if (wanted && (wait < 0 || retry.RemainingMs() < wait)) wait = std::max<qint64>(0, retry.RemainingMs());
  };
  consider(FWantDeliver, FDeliverRetry);
  consider(FWantStamp.has_value(), FStampRetry);
  consider(FWantDate, FDateRetry);
  consider(FWantDay.has_value(), FDayRetry);
  if (wait >= 0 && !FStore->IsConnected()) wait = std::max(wait, FConnectRetry.RemainingMs());
  if (wait < 0) {
    FRetry->stop();
  } else if (wait == 0) {
    Schedule();
  } else {
    FRetry->start(static_cast<int>(wait));
  }
}

bool TStoreWorker::Reach() {
  if (FStore->IsConnected()) return true;
  if (!FConnectRetry.Due()) return false;
  if (FStore->Connect()) {
    // Back (or there at last): the operator sees the waiting calls counted before they go in, and
    // no longer the failure to connect.
    FStatus.Error.clear();
    Report();
    return true;
  }
  // The grid shows the journal's calls of the day until the server's list can be read.
  if (FWantDay && !FJournalDaySent) ListJournalDay();
  Down(FStore->LastError());
  return false;
}

bool TStoreWorker::Deliver() {
  const TDeliveryReport report = FDelivery->quCallAfterPost();
  if (!report.Delivered.empty())
    emit Delivered(QList<qint64>(report.Delivered.begin(), report.Delivered.end()));
  for (const TSetAside& call : report.SetAside) {
    emit SetAside(QString::fromStdString(Cp1252ToUtf8(call.Bytes)), call.Reason);
  }
  if (report.ServerDown && !FStore->IsConnected()) return Down(report.Error), false;
  if (report.More) {
    // One batch at a time, so requests that came meanwhile are seen between batches.
    FStatus.Error.clear();
    Schedule();
  } else if (report.Refusing || report.ServerDown || !report.Error.isEmpty()) {
    FStatus.Error = report.Error;
    FDeliverRetry.Failed();
  } else if (report.Unsettled) {
    // The calls that could go in did: no failure to show. The look-ups are tried again later, until
    // their calls are set aside.
    FStatus.Error.clear();
    FDeliverRetry.Failed();
  } else {
    FWantDeliver = false;
    FStatus.Error.clear();
    FDeliverRetry.Succeeded();
  }
  return true;
}

// A statement other than delivery failed: false when the server has gone with it, else it is tried
// again after its own back-off step.
bool TStoreWorker::Failed(THostTrouble& trouble, TBackoff& retry) {
  if (!FStore->IsConnected()) return Down(FStore->LastError()), false;
  if (trouble.Error.isEmpty()) trouble.Since = FClock();
  trouble.Error = FStore->LastError();
  retry.Failed();
  return true;
}

bool TStoreWorker::WriteStamp() {
  if (!FStore->StampLastTransmission(*FWantStamp)) return Failed(FStatus.Stamp, FStampRetry);
  FWantStamp.reset();
  FStatus.Stamp = {};
  FStampRetry.Succeeded();
  return true;
}

bool TStoreWorker::ReadDate() {
  const std::optional<QDateTime> day = FStore->fcDataAtual(QStringLiteral("N"));
  if (!day) return Failed(FStatus.Clock, FDateRetry);
  FWantDate = false;
  FStatus.Clock = {};
  FDateRetry.Succeeded();
  emit ServerDate(*day);
  return true;
}

bool TStoreWorker::ListDay() {
  auto list = std::make_shared<TDayList>();
  list->Day = *FWantDay;
  if (!FStore->ReadDay(list->Day, list->Rows)) {
    if (!FJournalDaySent) ListJournalDay();
    return Failed(FStatus.DayList, FDayRetry);
  }
  FWantDay.reset();
  FStatus.DayList = {};
  FDayRetry.Succeeded();
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

void TStoreWorker::Down(const QString& error) {
  // Since the first failure after the server was last reached.
  if (FStatus.Reachable || !FStatus.Tried) FStatus.Since = FClock();
  FStatus.Error = error;
  FConnectRetry.Failed();
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
