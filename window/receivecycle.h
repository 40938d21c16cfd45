// The one-second receive cycle: bytes from the port become framed lines, stored calls, stamps and
// log lines; at a change of local day the list moves to the new day. Owns no widget.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <string>

namespace serial {
class TSerialPort;
}
namespace calls {
class TCallStore;
}

namespace window {

// What the cycle needs of the log panel.
class TLogSink {
 public:
  virtual ~TLogSink() = default;
  virtual void AppendLine(const QString& line) = 0;  // shows it at once
  virtual void Clear() = 0;
};

using TClock = std::function<QDateTime()>;

class TReceiveCycle {
 public:
  TReceiveCycle(serial::TSerialPort& port, calls::TCallStore& store, TLogSink& log, TClock clock);

  // One tick of the timer: read what waits, handle it, check the day.
  void TimerTimer();
  // One read's bytes, as the port's AfterReceive hands them over.
  void SPAfterReceive(const std::string& data);

  // The day the list shows, always at midnight.
  QDateTime FDataAtual() const { return FDay; }
  void SetDataAtual(const QDateTime& day) { FDay = day; }

 private:
  // members added with the implementation
  QDateTime FDay;
};

}  // namespace window
