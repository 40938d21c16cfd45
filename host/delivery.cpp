#include "delivery.h"

#include <QHash>
#include <algorithm>

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
  return QStringList{row.DATA.AsWritten().toString(Qt::ISODateWithMs),
                     row.RAMA.Text(),
                     row.NUME_DISC.Text(),
                     row.DURA.Text(),
                     row.SENH.Text(),
                     row.TRON.Text()}
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
  // A round of waiting calls begins: what the server took before it does not count for it.
  if (FCursor == 0) FRoundTook = false;
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
    case TInsertOutcome::ioNoAnswer:
      // Rolled back: the calls wait for the next step, none counted as refused.
      report.Refusing = true;
      report.Error = FStore.LastError();
      report.More = false;
      if (!FJournal.MarkInDoubt(ids, false)) JournalFailed(report);
      break;
    case TInsertOutcome::ioRefused:
      Refused(calls, report);
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
  qint64 unsettled = 0;  // the last call whose look-up was refused
  QHash<QString, int> matched;
  for (TWaitingCall& call : calls) {
    if (!call.InDoubt) {
      rest.push_back(std::move(call));
      continue;
    }
    const std::optional<int> count = FStore.CountStored(call.Row);
    if (!count && !FStore.IsConnected()) {
      report.ServerDown = true;
      report.Error = FStore.LastError();
      report.More = false;
      return false;
    }
    if (!count) {
      // The look-up itself is refused (an account that may not read TBCALL): whether the server holds
      // the call cannot be known, so it stays in doubt and waits; the calls behind it go on.
      report.Error = FStore.LastError();
      unsettled = call.Id;
      continue;
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
  if (!MarkDelivered(stored, report)) return false;
  if (calls.empty() && unsettled > 0 && stored.empty()) {
    // Nothing of this batch could be settled: step over it like a refused one.
    FCursor = unsettled;
    report.More = true;
  }
  return true;
}

// What became of the calls tried on their own in one apply.
struct TDelivery::TTries {
  std::vector<qint64> Taken;
  std::vector<std::pair<qint64, QString>> Refused;
  std::vector<qint64> LeftInDoubt;  // the connection was lost with the call on its way
  bool Stop = false;                // the server is gone or gave no answer: try no more

  static bool In(const std::vector<qint64>& ids, qint64 id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  }
  bool WasRefused(qint64 id) const {
    return std::any_of(Refused.begin(), Refused.end(),
                       [id](const auto& refused) { return refused.first == id; });
  }
  bool Tried(qint64 id) const { return In(Taken, id) || In(LeftInDoubt, id) || WasRefused(id); }
};

// The server refused the batch. When it refused an insert after taking others of the transaction, it
// takes calls: they go in one by one. When it took none, one call on its own, the one tried least
// recently, tells a server that refuses everything (which then costs no more this step) from one that
// refuses only some calls, whose others then go in one by one.
void TDelivery::Refused(const std::vector<TWaitingCall>& calls, TDeliveryReport& report) {
  TTries tries;
  const std::optional<std::size_t> at = FStore.RefusedRow();
  if (!at || *at == 0) {
    const qint64 refusedId = at ? calls.front().Id : 0;
    if (at) tries.Refused.emplace_back(refusedId, FStore.LastError());
    // The transaction was rolled back, so none of the batch is stored and any may be offered alone.
    const std::vector<qint64> ids = IdsOf(calls);
    std::optional<TWaitingCall> probe;
    if (!FJournal.MarkInDoubt(ids, false) || !FJournal.LeastTried(refusedId, probe) ||
        (probe && !FJournal.MarkInDoubt({probe->Id}, true))) {
      JournalFailed(report);
      return Settle(calls, tries, report);
    }
    if (!probe || !Try(*probe, tries, report)) {
      report.Refusing = !report.ServerDown;
      return Settle(calls, tries, report);
    }
    // One by one from here, each call in doubt until the server's answer to it is marked.
    if (!FJournal.MarkInDoubt(ids, true)) {
      JournalFailed(report);
      return Settle(calls, tries, report);
    }
  }
  for (const TWaitingCall& call : calls) {
    if (tries.Stop) break;
    if (!tries.Tried(call.Id)) Try(call, tries, report);
  }
  Settle(calls, tries, report);
}

// One call on its own; true when the server took it.
bool TDelivery::Try(const TWaitingCall& call, TTries& tries, TDeliveryReport& report) {
  switch (FStore.InsertCall(call.Row)) {
    case TInsertOutcome::ioStored:
      tries.Taken.push_back(call.Id);
      return true;
    case TInsertOutcome::ioRefused:
      tries.Refused.emplace_back(call.Id, FStore.LastError());
      return false;
    case TInsertOutcome::ioNoAnswer:
      tries.Stop = true;
      report.Refusing = true;
      report.Error = FStore.LastError();
      return false;
    case TInsertOutcome::ioUnknown:
      tries.LeftInDoubt.push_back(call.Id);
      tries.Stop = true;
      report.ServerDown = true;
      report.Error = FStore.LastError();
      return false;
  }
  return false;
}

// Marks what the tries of the batch's calls (and of the call offered alone) came to: delivered,
// certainly not stored, or refused with the server's reason; steps over a batch of which the
// server took none.
void TDelivery::Settle(const std::vector<TWaitingCall>& calls, TTries& tries, TDeliveryReport& report) {
  std::vector<qint64> settled;
  bool batchTook = false;
  for (const TWaitingCall& call : calls) {
    const bool taken = TTries::In(tries.Taken, call.Id);
    batchTook = batchTook || taken;
    if (!taken && !TTries::In(tries.LeftInDoubt, call.Id)) settled.push_back(call.Id);
  }
  // The call offered alone may lie outside the batch.
  for (const auto& refused : tries.Refused) {
    if (!TTries::In(settled, refused.first)) settled.push_back(refused.first);
  }
  if (!MarkDelivered(tries.Taken, report)) return;
  if (!FJournal.MarkInDoubt(settled, false)) {
    JournalFailed(report);
    return;
  }
  if (!tries.Refused.empty() && !report.ServerDown && report.Error.isEmpty()) {
    report.Error = tries.Refused.back().second;
  }
  if (!FJournal.CountRefusals(tries.Refused, FClock(), FLastTaken, report.SetAside)) {
    JournalFailed(report);
    return;
  }
  if (report.ServerDown || report.Refusing) {
    report.More = false;
  } else if (!batchTook) {
    // Step over them: the calls behind get their turn before these are tried again.
    FCursor = calls.back().Id;
    report.More = true;
  }
}

}  // namespace calls
