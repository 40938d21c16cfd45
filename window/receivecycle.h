// The one-second receive cycle: bytes from the port become framed lines, stored calls, stamps and
// log lines; at a change of local day the list moves to the new day. Owns no widget.
//
// The main window owns one, binds SP.AfterReceive to SPAfterReceive and its timer (TimerInterval,
// disabled until connected) to TimerTimer, gives it FDataAtual from FormShow and shows the log in
// Memo1 through a TLogSink. SP must be built on the TReadWatch given here (see readwatch.h).
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "lineframer.h"

namespace serial {
class TSerialPort;
}
namespace calls {
class TCallStore;
}

namespace window {

class TReadWatch;

// One tick per second.
inline constexpr std::chrono::milliseconds TimerInterval{1000};
// Characters of a line shown in the log: columns 77-80 hold the caller's personal code.
inline constexpr std::size_t LogLineWidth = 76;

// What the cycle needs of the log panel.
class TLogSink {
 public:
  virtual ~TLogSink() = default;
  virtual void AppendLine(const QString& line) = 0;  // shows it at once
  virtual void Clear() = 0;
};

// The local date and time now.
using TClock = std::function<QDateTime()>;

class TReceiveCycle {
 public:
  TReceiveCycle(serial::TSerialPort& port, TReadWatch& watch, calls::TCallStore& store, TLogSink& log,
                TClock clock);

  // One tick of the timer: read what waits, handle the lines it completes, check the day.
  void TimerTimer();
  // One read's bytes, as the port's AfterReceive hands them over; a repeat of the previous read's
  // text (the port found nothing new) is recognised and ignored.
  void SPAfterReceive(const std::string& data);

  // The day the list shows, at the start of that local day; invalid until set.
  QDateTime FDataAtual() const { return FDay; }
  // The day FormShow opened the list for. Leave it unset when that failed: the first tick then opens
  // the list for the local day.
  void SetDataAtual(const QDateTime& day) { FDay = day; }

 private:
  void HandleLines(std::vector<TFramedLine> lines);
  void StoreCall(std::string_view line);
  void ApplyPending();
  void Stamp();
  void CheckDay();

  serial::TSerialPort& FPort;
  TReadWatch& FWatch;
  calls::TCallStore& FStore;
  TLogSink& FLog;
  TClock FClock;
  TLineFramer FFramer;
  QDateTime FDay;
  bool FReceivedThisTick = false;
  std::optional<QDateTime> FUnstamped;  // the last transmission, until its stamp is stored
  bool FListStale = false;              // the list could not be reopened for FDay yet
};

}  // namespace window
