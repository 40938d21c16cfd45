#include "delivery.h"

#include <QHash>

#include "callstore.h"

namespace calls {

namespace {

std::vector<qint64> IdsOf(const std::vector<TWaitingCall>& calls) {
  std::vector<qint64> ids;
  ids.reserve(calls.size());
  for (const TWaitingCall& call : calls) ids.push_back(call.Id);
  return ids;
}

// The six columns a stored call is recognised by.
QString CallKey(const TCallRow& row) {
  return QStringList{row.DATA.DateTime().toString(Qt::ISODateWithMs), row.RAMA.Text(), row.NUME_DISC.Text(),
                     row.DURA.Text(), row.SENH.Text(), row.TRON.Text()}
      .join(QChar(0x1F));
}

}  // namespace

TDelivery::TDelivery(TJournal& journal, TCallStore& store, TClock clock)
    : FJournal(journal), FStore(store), FClock(std::move(clock)), FLastTaken(journal.LastDelivery()) {}

// The journal could not be read or written: nothing more this time; the worker tries again later.
const TDeliveryReport& TDelivery::JournalFailed(TDeliveryReport& report) {
  report.Error = FJournal.LastError();
  report.More = false;
  return report;
}

bool TDelivery::MarkDelivered(const std::vector<qint64>& ids, TDeliveryReport& report) {
  if (ids.empty()) return true;
  const QDateTime now = FClock();
  // The host holds them already: should this mark fail they stay in doubt and are looked up, not
  // inserted again.
  if (!FJournal.MarkDelivered(ids, now)) {
    JournalFailed(report);
    return false;
  }
  report.Delivered.insert(report.Delivered.end(), ids.begin(), ids.end());
  FLastTaken = now;
  FRoundTook = true;
  return true;
}

TDeliveryReport TDelivery::quCallAfterPost() {
  TDeliveryReport report;
  std::vector<TWaitingCall> calls;
  if (!FJournal.Waiting(FCursor, BatchRows, calls)) return JournalFailed(report);
  if (calls.empty() && FCursor > 0) {
    // A round that stepped over refused batches ends: begin again from the oldest waiting call,
    // unless the server took nothing in the whole round.
    FCursor = 0;
    if (!std::exchange(FRoundTook, false)) {
      report.Refusing = true;
      report.Error = FStore.LastError();
      return report;
    }
    if (!FJournal.Waiting(0, BatchRows, calls)) return JournalFailed(report);
  }
  if (calls.empty()) return report;
  report.More = calls.size() == static_cast<std::size_t>(BatchRows) || FCursor > 0;
  if (!FStore.IsConnected() && !FStore.Connect()) {
    report.ServerDown = true;
    report.Error = FStore.LastError();
    return report;
  }
  if (!SettleInDoubt(calls, report) || calls.empty()) return report;

  // Marked first: if the program ends between the host's commit and ours, the next run looks the
  // calls up instead of storing them twice.
  const std::vector<qint64> ids = IdsOf(calls);
  if (!FJournal.MarkInDoubt(ids, true)) return JournalFailed(report);
  std::vector<const TCallRow*> rows;
  rows.reserve(calls.size());
  for (const TWaitingCall& call : calls) rows.push_back(&call.Row);
  switch (FStore.InsertCalls(rows)) {
    case TInsertOutcome::ioStored:
      if (FCursor > 0) FCursor = ids.back();
      MarkDelivered(ids, report);
      break;
    case TInsertOutcome::ioUnknown:
      report.ServerDown = true;
      report.Error = FStore.LastError();
      report.More = false;
      break;
    case TInsertOutcome::ioRefused:
      OneByOne(calls, report);
      break;
  }
  return report;
}

// Calls whose commit was under way when the connection or the program ended: those TBCALL holds
// already are marked delivered, the others go in as usual. Equal calls of one batch are matched
// one for one against the equal rows stored.
bool TDelivery::SettleInDoubt(std::vector<TWaitingCall>& calls, TDeliveryReport& report) {
  std::vector<TWaitingCall> rest;
  std::vector<qint64> stored;
  QHash<QString, int> matched;
  for (TWaitingCall& call : calls) {
    if (!call.InDoubt) {
      rest.push_back(std::move(call));
      continue;
    }
    const std::optional<int> count = FStore.CountStored(call.Row);
    if (!count) {
      report.ServerDown = true;
      report.Error = FStore.LastError();
      report.More = false;
      return false;
    }
    int& used = matched[CallKey(call.Row)];
    if (used < *count) {
      ++used;
      stored.push_back(call.Id);
    } else {
      rest.push_back(std::move(call));
    }
  }
  calls = std::move(rest);
  return MarkDelivered(stored, report);
}

void TDelivery::OneByOne(const std::vector<TWaitingCall>& calls, TDeliveryReport& report) {
  std::vector<qint64> taken;
  std::vector<qint64> settled;  // refused or not tried: certainly not stored
  std::vector<std::pair<qint64, QString>> refused;
  for (const TWaitingCall& call : calls) {
    if (report.ServerDown) {
      settled.push_back(call.Id);
      continue;
    }
    switch (FStore.InsertCall(call.Row)) {
      case TInsertOutcome::ioStored:
        taken.push_back(call.Id);
        break;
      case TInsertOutcome::ioRefused:
        refused.emplace_back(call.Id, FStore.LastError());
        settled.push_back(call.Id);
        break;
      case TInsertOutcome::ioUnknown:  // this one stays in doubt
        report.ServerDown = true;
        report.Error = FStore.LastError();
        break;
    }
  }
  if (!MarkDelivered(taken, report)) return;
  if (!FJournal.MarkInDoubt(settled, false)) {
    JournalFailed(report);
    return;
  }
  if (!refused.empty() && !report.ServerDown) report.Error = refused.back().second;
  if (!FJournal.CountRefusals(refused, FClock(), FLastTaken, report.SetAside)) {
    JournalFailed(report);
    return;
  }
  if (report.ServerDown) {
    report.More = false;
  } else if (taken.empty()) {
    // Step over them: the calls behind get their turn before these are tried again.
    FCursor = calls.back().Id;
    report.More = true;
  }
}

}  // namespace calls
