// Keeps the line open for as long as the operator wants it: a port whose query or read fails (its far
// end hung up, a USB adapter was pulled, a device server's cable came out) is closed quietly and tried
// again every RetryInterval until it opens, and then reading goes on with its settings applied. An
// unattended connect treats a port that does not open at all the same way. A line whose connect takes
// a while (a TCP line) is connecting, not open, until the connect completes; one that fails to connect
// is lost from then on, however many tries lie between, until one completes. Nothing here knows the
// kind of device: every comm layer reports its failures through the TReadWatch the port is built on.
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>

#include "lineclaim.h"
#include "localclock.h"

namespace serial {
class TSerialPort;
}

namespace capture {

class TReadWatch;
enum class TLineReady;

enum class TPortState {
  psClosed,      // the operator has not connected, or disconnected
  psConnecting,  // connected by the operator, the line's first connect still going on
  psOpen,
  psLost,  // wanted but not open: tried again every RetryInterval
};

class TPortKeeper {
 public:
  static constexpr std::chrono::seconds RetryInterval{2};

  TPortKeeper(serial::TSerialPort& port, TReadWatch& watch, calls::TClock clock);

  // Opens the port; true when it opened or is connecting. Unattended, a port that does not open is
  // kept as lost and tried again; otherwise nothing changes and the caller tells the operator. From
  // here to Disconnect the line is claimed (lineclaim.h).
  bool Connect(bool unattended);
  // Lets the port go; what closing reported (false also when it was not open).
  bool Disconnect();
  // Before a tick's read: a lost port whose turn has come is tried again.
  void Retry();
  // After a tick's read: a port whose query or read failed is closed quietly and lost; a connect that
  // completed makes the port open.
  void Check();

  TPortState State() const { return FState; }
  // Connecting since, lost since, or open since.
  QDateTime Since() const { return FSince; }
  // The system's words for the last failure (why the port was lost or does not open).
  QString Error() const { return FError; }
  // The device as the operator should read it: "COM1 (/dev/ttyUSB0)".
  QString Device() const;

 private:
  // Opens the port and tells whether it can be read; a port that cannot is closed again.
  TLineReady Open();
  void Opened();
  // The port did not open, or failed: lost from now on unless it already was.
  void Fail(const QString& error);

  serial::TSerialPort& FPort;
  TReadWatch& FWatch;
  calls::TClock FClock;
  TLineClaim FClaim;
  TPortState FState = TPortState::psClosed;
  QDateTime FSince;
  QDateTime FNextTry;
  QString FError;
};

}  // namespace capture
