#include "receivecycle.h"

#include <utility>

#include "calllistmodel.h"
#include "callrow.h"
#include "cp1252.h"
#include "decodecallline.h"
#include "readwatch.h"
#include "serialport.h"

namespace capture {

TReceiveCycle::TReceiveCycle(serial::TSerialPort& port, TReadWatch& watch, calls::TJournal& journal,
                             calls::TCallListModel& list, THostRequests& host, TLogSink& log, TClock clock)
    : FPort(port),
      FWatch(watch),
      FJournal(journal),
      FList(list),
      FHost(host),
      FLog(log),
      FClock(std::move(clock)) {}

void TReceiveCycle::TimerTimer() {
  FReceivedThisTick = false;
  // Closing the port threw away the rest of an unfinished line: it must not be joined to the first
  // bytes after the new open.
  if (FWatch.TakeOpened()) TakeLines(FFramer.Idle());
  std::string unused;
  FPort.ReceiveData(unused);
  // A tail that got nothing for a whole tick is a line whose exchange sends no line end.
  if (!FReceivedThisTick) TakeLines(FFramer.Idle());
  WriteJournal();
  // The host system learns of every transmission; the worker writes only the latest of those waiting.
  if (FReceivedThisTick) FHost.Stamp(FClock());
  CheckDay();
}

void TReceiveCycle::SPAfterReceive(const std::string& data) {
  if (!FWatch.TakeReceived() || data.empty()) return;
  FReceivedThisTick = true;
  TakeLines(FFramer.Feed(data));
}

void TReceiveCycle::TakeLines(std::vector<TFramedLine> lines) {
  const QDateTime now = FClock();
  for (TFramedLine& line : lines) {
    const std::string_view shown = std::string_view(line.Text).substr(0, LogLineWidth);
    FLog.AppendLine(QString::fromStdString(calls::Cp1252ToUtf8(shown)));
    if (FUnwritten.size() >= MaxUnwritten) {
      // The oldest are kept: they are the ones the exchange will not send again.
      if (!std::exchange(FRefusing, true)) {
        FLog.AppendLine(QStringLiteral("Linhas recusadas: %1 linhas aguardam a gravação do diário").arg(MaxUnwritten));
      }
      continue;
    }
    std::optional<calls::TCallRecord> call;
    if (!line.Overflow) call = calls::DecodeCallLine(line.Text, now.date().year());
    FUnwritten.push_back({now, std::move(line.Text), std::move(call)});
  }
}

// One transaction for all of a tick's lines: a line counts as received once it is on disk, so only
// then does a call reach the grid or the worker.
void TReceiveCycle::WriteJournal() {
  if (FUnwritten.empty()) return;
  std::vector<calls::TJournaled> journaled;
  if (!FJournal.Append(FUnwritten, journaled)) {
    if (!std::exchange(FJournalFailing, true)) {
      FLog.AppendLine(QStringLiteral("Não foi possível gravar o diário de chamadas: %1").arg(FJournal.LastError()));
    }
    return;
  }
  if (std::exchange(FJournalFailing, false)) FLog.AppendLine(QStringLiteral("Diário de chamadas gravado."));
  FRefusing = false;
  bool newCalls = false;
  for (std::size_t i = 0; i < FUnwritten.size(); ++i) {
    if (journaled[i].Id == 0 || !FUnwritten[i].Call) continue;
    calls::TCallRow row = calls::CallRowFrom(*FUnwritten[i].Call);
    row.JournalId = journaled[i].Id;
    row.Waiting = true;
    FList.Append(row);
    newCalls = true;
  }
  FUnwritten.clear();
  if (newCalls) FHost.DeliverWaiting();
}

void TReceiveCycle::CheckDay() {
  const QDate today = FClock().date();
  if (FDay.isValid() && FDay.date() == today) return;
  // startOfDay, not 00:00: where summer time starts at midnight that hour does not exist.
  FDay = today.startOfDay();
  FLog.Clear();
  FHost.OpenDay(FDay);
}

}  // namespace capture
