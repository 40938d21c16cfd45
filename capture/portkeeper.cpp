#include "portkeeper.h"

#include <utility>

#include "readwatch.h"
#include "serialport.h"

namespace capture {

TPortKeeper::TPortKeeper(serial::TSerialPort& port, TReadWatch& watch, calls::TClock clock)
    : FPort(port), FWatch(watch), FClock(std::move(clock)) {}

QString TPortKeeper::Device() const {
  return QString::fromLocal8Bit(FWatch.Describe(FPort.DeviceName()));
}

bool TPortKeeper::Connect(bool unattended) {
  FClaim.Take(Device());
  switch (Open()) {
    case TLineReady::lrReady:
      Opened();
      return true;
    case TLineReady::lrPending:
      FState = TPortState::psConnecting;
      FSince = FClock();
      return true;
    case TLineReady::lrFailed:
      break;
  }
  if (unattended) {
    Fail(QString::fromUtf8(FWatch.FailureText()));
  } else {
    FClaim.Release();
  }
  return false;
}

bool TPortKeeper::Disconnect() {
  FState = TPortState::psClosed;
  FClaim.Release();
  return FPort.ClosePort();
}

void TPortKeeper::Retry() {
  // Half a tick early counts as due: the timer's ticks drift by a few milliseconds either way. A try
  // whose connect is still going on is the tick's Check to follow.
  if (FState != TPortState::psLost || FPort.IsOpen() || FClock().addMSecs(500) < FNextTry) return;
  switch (Open()) {
    case TLineReady::lrReady:
      Opened();
      break;
    case TLineReady::lrPending:
      break;
    case TLineReady::lrFailed:
      Fail(QString::fromUtf8(FWatch.FailureText()));
      break;
  }
}

void TPortKeeper::Check() {
  if (FState == TPortState::psClosed || !FPort.IsOpen()) return;
  const bool lost = FWatch.TakeLost();
  if (FState == TPortState::psOpen && !lost) return;
  // A failed read or query, or a connect that ended either way.
  const TLineReady ready = lost ? TLineReady::lrFailed : FWatch.Ready();
  if (ready == TLineReady::lrPending) return;
  if (ready == TLineReady::lrReady) {
    Opened();
    return;
  }
  const QString error = QString::fromUtf8(FWatch.FailureText());
  // Quietly: a device that is gone cannot be closed cleanly, and that is no news to the operator.
  FPort.ClosePort();
  Fail(error);
}

TLineReady TPortKeeper::Open() {
  if (!FPort.OpenPort()) return TLineReady::lrFailed;
  // A device that opens but fails its first query is not there yet (Wine opens a COM port whose
  // device is missing; an adapter may still be settling); one that refused its settings would be
  // read at settings nobody chose.
  const TLineReady ready = FWatch.Ready();
  if (ready == TLineReady::lrFailed) FPort.ClosePort();
  return ready;
}

void TPortKeeper::Opened() {
  FState = TPortState::psOpen;
  FSince = FClock();
}

void TPortKeeper::Fail(const QString& error) {
  if (FState != TPortState::psLost) {
    FState = TPortState::psLost;
    FSince = FClock();
  }
  FError = error;
  FNextTry = FClock().addSecs(RetryInterval.count());
}

}  // namespace capture
