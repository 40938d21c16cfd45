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
  if (Open()) return true;
  if (unattended) Lose(QString::fromUtf8(FWatch.FailureText()));
  return false;
}

bool TPortKeeper::Disconnect() {
  FState = TPortState::psClosed;
  return FPort.ClosePort();
}

void TPortKeeper::Retry() {
  // Half a tick early counts as due: the timer's ticks drift by a few milliseconds either way.
  if (FState != TPortState::psLost || FClock().addMSecs(500) < FNextTry) return;
  if (!Open()) {
    FError = QString::fromUtf8(FWatch.FailureText());
    FNextTry = FClock().addSecs(RetryInterval.count());
  }
}

void TPortKeeper::Check() {
  if (FState != TPortState::psOpen || !FWatch.TakeLost()) return;
  const QString error = QString::fromUtf8(FWatch.FailureText());
  // Quietly: a device that is gone cannot be closed cleanly, and that is no news to the operator.
  FPort.ClosePort();
  Lose(error);
}

bool TPortKeeper::Open() {
  if (!FPort.OpenPort()) return false;
  // A device that opens but fails its first query is not there yet (Wine opens a COM port whose
  // device is missing; an adapter may still be settling).
  if (!FWatch.Answers()) {
    FPort.ClosePort();
    return false;
  }
  FState = TPortState::psOpen;
  FSince = FClock();
  return true;
}

void TPortKeeper::Lose(const QString& error) {
  FState = TPortState::psLost;
  FSince = FClock();
  FError = error;
  FNextTry = FSince.addSecs(RetryInterval.count());
}

}  // namespace capture
