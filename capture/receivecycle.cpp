#include "receivecycle.h"

#include <algorithm>
#include <utility>

#include "calllistmodel.h"
#include "callrow.h"
#include "cp1252.h"
#include "decodecallline.h"
#include "readwatch.h"
#include "serialport.h"
#include "sitesettings.h"

namespace capture {

TReceiveCycle::TReceiveCycle(serial::TSerialPort& port, TReadWatch& watch, calls::TJournal& journal,
                             calls::TCallListModel& list, THostRequests& host, TLogSink& log, TClock clock)
    : FPort(port),
      FWatch(watch),
      FJournal(journal),
      FList(list),
      FHost(host),
      FLog(log),
      FClock(std::move(clock)),
      FKeeper(port, watch, FClock) {
  // Unreadable here, the tail simply stays in the journal: the next start takes it up.
  if (FJournal.Tail(FKeptTail)) FFramer.Resume(FKeptTail);
}

std::chrono::milliseconds ReadInterval(serial::TBaudRate speed) {
  using std::chrono::milliseconds;
  // About ten bits a byte on the line (start, eight, stop); half of a 4 KB buffer.
  constexpr std::uint64_t halfBuffer = 2048;
  const std::uint64_t bytesPerSecond = serial::BaudRateValue(speed) / 10;
  const milliseconds fills(halfBuffer * 1000 / bytesPerSecond);
  return std::clamp(fills, milliseconds(100), milliseconds(TimerInterval));
}

bool TReceiveCycle::Connect(bool unattended) {
  FHealth.Listening(FClock());
  return FKeeper.Connect(unattended);
}

void TReceiveCycle::Flush() {
  // Read whatever the journal's state: closing the port would purge what the driver holds.
  FJournal.Reserve(FlushJournalWait);
  Read();
  WriteJournal();
}

bool TReceiveCycle::Disconnect() {
  // Closing the port empties the driver's queue: what it holds is read and journaled first.
  Flush();
  return FKeeper.Disconnect();
}

// The journal's write lock is taken before the port is read, so nothing can hold up the commit of
// what is read (the worker's marks, each through its own fsync, held it up for a second on a slow
// disk): a kill, a crash or a power cut can only fall between a read and a commit already under way.
// While the journal is merely busy the bytes stay in the driver, which holds seconds of a line at the
// speeds read once a tick, and the worker begins no write until this thread has had its turn. A
// journal that fails, or is still busy at the next tick (another program holds it), cannot keep them
// anyway: they are read and wait in memory as before.
bool TReceiveCycle::MayRead(std::chrono::milliseconds wait) {
  return FJournal.Reserve(wait) || !FJournal.Busy();
}

void TReceiveCycle::TimerTimer() {
  FKeeper.Retry();
  const bool ready = MayRead(TickJournalWait);
  const bool leaveInDriver = !ready && !std::exchange(FBusyTick, true);
  if (ready) FBusyTick = false;
  if (!leaveInDriver) {
    Read();
    const bool received = FReceivedThisTick || std::exchange(FReceivedBetweenTicks, false);
    // A tail that got nothing for a whole tick is a line whose exchange sends no line end.
    if (!received) TakeLines(FFramer.Idle());
    WriteJournal();
    // The host system learns of every transmission; the worker writes only the latest of those waiting.
    if (received) FHost.Stamp(FClock());
  }
  serial::TLineErrors counts;
  FCounted = FWatch.DriverErrors(counts);
  if (FCounted) FHealth.DriverErrors(counts, FClock());
  FKeeper.Check();
  CheckDay();
}

void TReceiveCycle::ReadBetweenTicks() {
  // A port lost or reopened is the tick's to handle.
  if (!FPort.IsOpen() || !MayRead(std::chrono::milliseconds(0))) return;
  Read();
  if (FReceivedThisTick) FReceivedBetweenTicks = true;
  // In a transaction of its own: no byte waits in memory for the tick.
  WriteJournal();
}

void TReceiveCycle::Read() {
  FReceivedThisTick = false;
  // The rest of a line cut by closing the port may or may not follow after the new open.
  if (FWatch.TakeOpened()) {
    FFramer.Suspend();
    FHealth.Opened();
  }
  std::string unused;
  FPort.ReceiveData(unused);
}

void TReceiveCycle::SPAfterReceive(const std::string& data) {
  if (!FWatch.TakeReceived() || data.empty()) return;
  FReceivedThisTick = true;
  TakeLines(FFramer.Feed(data));
}

void TReceiveCycle::TakeLines(std::vector<TFramedLine> lines) {
  const QDateTime now = FClock();
  for (TFramedLine& line : lines) {
    // The bytes from before the port was opened again (or the program started) belong to the line
    // only when the two parts make one call that the new part alone does not.
    if (line.Seam > 0 && line.Seam < line.Text.size()) {
      const std::string_view head = std::string_view(line.Text).substr(line.Seam);
      if (!calls::DecodeCallLine(line.Text, now.date().year()) || calls::DecodeCallLine(head, now.date().year())) {
        TFramedLine rest{std::string(head), false};
        line.Text.resize(line.Seam);
        TakeLine(std::move(line), now);
        TakeLine(std::move(rest), now);
        continue;
      }
    }
    TakeLine(std::move(line), now);
  }
}

void TReceiveCycle::TakeLine(TFramedLine line, const QDateTime& now) {
  const std::string_view shown = std::string_view(line.Text).substr(0, LogLineWidth);
  FLog.AppendLine(QString::fromStdString(calls::Cp1252ToUtf8(shown)));
  if (FUnwritten.size() >= MaxUnwritten) {
    // The oldest are kept: they are the ones the exchange will not send again.
    if (!std::exchange(FRefusing, true)) {
      FLog.AppendLine(QStringLiteral("Linhas recusadas: %1 linhas aguardam a gravação do diário").arg(MaxUnwritten));
    }
    return;
  }
  std::optional<calls::TCallRecord> call;
  if (!line.Overflow) call = calls::DecodeCallLine(line.Text, now.date().year());
  FHealth.Line(call.has_value(), now);
  FUnwritten.push_back({now, std::move(line.Text), std::move(call)});
}

// One transaction for all of a tick's lines: a line counts as received once it is on disk, so only
// then does a call reach the grid or the worker.
void TReceiveCycle::WriteJournal() {
  // The unfinished tail goes with the lines, so a line whose first bytes came before a crash is
  // whole after the restart.
  const std::string& tail = FFramer.Tail();
  if (FUnwritten.empty() && tail == FKeptTail) return FJournal.Release();
  std::vector<calls::TJournaled> journaled;
  if (!FJournal.Append(FUnwritten, journaled, &tail)) {
    if (!std::exchange(FJournalFailing, true)) {
      FLog.AppendLine(QStringLiteral("Não foi possível gravar o diário de chamadas: %1").arg(FJournal.LastError()));
    }
    return;
  }
  FKeptTail = tail;
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

TLineStatus TReceiveCycle::Line() const {
  TLineStatus status;
  status.Port = FKeeper.State();
  status.Device = FKeeper.Device();
  status.Error = FKeeper.Error();
  status.Since = FKeeper.Since();
  status.Unreadable = FHealth.Unreadable();
  status.UnreadableSince = FHealth.Since();
  status.NoCalls = FHealth.NoCalls();
  status.Recent = FHealth.Recent();
  status.Counted = FCounted;
  status.Errors = FHealth.Errors();
  status.Settings = LineSettingsText(FPort);
  status.Name = LineText(FPort, status.Device);
  status.LastLine = FHealth.LastLine();
  status.SilenceLimit = static_cast<int>(FHealth.SilenceLimit().count());
  status.QuietSince = FHealth.QuietSince();
  if (status.Port == TPortState::psOpen) status.SilentHours = FHealth.SilentHours(FClock());
  return status;
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
