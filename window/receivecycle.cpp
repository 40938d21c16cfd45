#include "receivecycle.h"

#include <utility>

#include "callstore.h"
#include "cp1252.h"
#include "decodecallline.h"
#include "readwatch.h"
#include "serialport.h"

namespace window {

TReceiveCycle::TReceiveCycle(serial::TSerialPort& port, TReadWatch& watch, calls::TCallStore& store,
                             TLogSink& log, TClock clock)
    : FPort(port), FWatch(watch), FStore(store), FLog(log), FClock(std::move(clock)) {}

void TReceiveCycle::TimerTimer() {
  FReceivedThisTick = false;
  // Closing the port threw away the rest of an unfinished line: it must not be joined to the first
  // bytes after the new open.
  if (FWatch.TakeOpened()) HandleLines(FFramer.Idle());
  std::string unused;
  FPort.ReceiveData(unused);
  if (!FReceivedThisTick) {
    // A tail that got nothing for a whole tick is a line whose exchange sends no line end.
    HandleLines(FFramer.Idle());
    // Calls an outage held back are stored as soon as the server is back, not only with the next call.
    ApplyPending();
    Stamp();
  }
  CheckDay();
}

void TReceiveCycle::SPAfterReceive(const std::string& data) {
  if (!FWatch.TakeReceived() || data.empty()) return;
  FReceivedThisTick = true;
  HandleLines(FFramer.Feed(data));
  ApplyPending();
  FUnstamped = FClock();
  Stamp();
}

void TReceiveCycle::Stamp() {
  // Kept until the server takes it, so the host system never sees a transmission's time go missing.
  if (FUnstamped && FStore.StampLastTransmission(*FUnstamped)) FUnstamped.reset();
}

void TReceiveCycle::ApplyPending() {
  // One transaction for all of a tick's calls: a burst costs one commit, not one per line.
  if (FStore.PendingCount() > 0) FStore.ApplyPending();
}

void TReceiveCycle::HandleLines(std::vector<TFramedLine> lines) {
  for (const TFramedLine& line : lines) {
    if (!line.Overflow) StoreCall(line.Text);
    const std::string_view shown = std::string_view(line.Text).substr(0, LogLineWidth);
    FLog.AppendLine(QString::fromStdString(calls::Cp1252ToUtf8(shown)));
  }
}

void TReceiveCycle::StoreCall(std::string_view line) {
  const auto call = calls::DecodeCallLine(line, FClock().date().year());
  // Refused only when the store already holds its limit of calls the server has not taken.
  if (call) FStore.AppendCall(*call);
}

void TReceiveCycle::CheckDay() {
  const QDate today = FClock().date();
  if (!FDay.isValid() || FDay.date() != today) {
    // startOfDay, not 00:00: where summer time starts at midnight that hour does not exist.
    FDay = today.startOfDay();
    FListStale = true;
    FLog.Clear();
  }
  // Retried every tick until the database takes it; calls go on being stored meanwhile.
  if (FListStale) FListStale = !FStore.OpenDayList(FDay);
}

}  // namespace window
