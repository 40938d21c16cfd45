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

// The step's marks in one transaction; what they delivered and set aside goes into the report.
bool TDelivery::Write(TMarks marks, TDeliveryReport& report) {
  const QDateTime now = FClock();
  marks.Committed = now;
  marks.Now = now;
  // Calls the server took in this very step count for the refusals of others.
  if (!marks.LastTaken.isValid()) marks.LastTaken = marks.Delivered.empty() ? FLastTaken : now;
  std::vector<TSetAside> setAside;
  // Calls the host holds already: should this mark fail they stay in doubt and are looked up, not
  // inserted again.
  if (!FJournal.Mark(marks, setAside)) {
    JournalFailed(report);
    return false;
  }
  report.SetAside.insert(report.SetAside.end(), setAside.begin(), setAside.end());
  if (marks.Delivered.empty()) return true;
  report.Delivered.insert(report.Delivered.end(), marks.Delivered.begin(), marks.Delivered.end());
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
  TMarks marks;
  if (!SettleInDoubt(calls, marks, report)) return report;
  // Marked first (with what the look-ups settled, in the same transaction): if the program ends
  // between the host's commit and ours, the next run looks the calls up instead of storing them twice.
  const std::vector<qint64> ids = IdsOf(calls);
  marks.InDoubt = ids;
  if (!Write(std::move(marks), report) || calls.empty()) return report;
  std::vector<const TCallRow*> rows;
  rows.reserve(calls.size());
  for (const TWaitingCall& call : calls) rows.push_back(&call.Row);
  switch (FStore.InsertCalls(rows)) {
    case TInsertOutcome::ioStored:
      if (FCursor > 0) FCursor = ids.back();
      Write({.Delivered = ids}, report);
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
      Write({.Settled = ids}, report);
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
bool TDelivery::SettleInDoubt(std::vector<TWaitingCall>& calls, TMarks& marks, TDeliveryReport& report) {
  std::vector<TWaitingCall> rest;
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
      // The look-up itself is refused (an account that may insert but not read TBCALL): whether the
      // server holds the call cannot be known. The calls behind it go on; after a few such look-ups
      // it is set aside for the operator to check, rather than waiting forever.
      marks.Refused.emplace_back(
          call.Id, QStringLiteral("a conta do banco não pode ler TBCALL: não se sabe se esta chamada, cuja "
                                  "gravação foi interrompida, já está lá; confira à mão (%1)")
                       .arg(FStore.LastError()));
      continue;
    }
    int& used = matched[CallKey(call.Row)];
    if (used < *count) {
      ++used;
      marks.Delivered.push_back(call.Id);
    } else {
      rest.push_back(std::move(call));
    }
  }
  calls = std::move(rest);
  if (marks.Refused.empty()) return true;
  report.Unsettled = true;
  // Every refused look-up counts, also while the server takes no other call: a read it refuses is no
  // matter of the call's values.
  marks.LastTaken = FClock();
  // Nothing of a batch with calls behind it could be settled: step over it like a refused one.
  if (calls.empty() && marks.Delivered.empty() && report.More) FCursor = marks.Refused.back().first;
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
    if (!Write({.Settled = ids}, report) || !FJournal.LeastTried(refusedId, probe) ||
        (probe && !Write({.InDoubt = {probe->Id}}, report))) {
      JournalFailed(report);
      return Settle(calls, tries, report);
    }
    if (!probe || !Try(*probe, tries, report)) {
      report.Refusing = !report.ServerDown;
      return Settle(calls, tries, report);
    }
    // One by one from here, each call in doubt until the server's answer to it is marked.
    if (!Write({.InDoubt = ids}, report)) return Settle(calls, tries, report);
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
  // One transaction for what the step came to.
  if (!Write({.Delivered = tries.Taken, .Settled = settled, .Refused = tries.Refused}, report)) return;
  if (!tries.Refused.empty() && !report.ServerDown && report.Error.isEmpty()) {
    report.Error = tries.Refused.back().second;
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
