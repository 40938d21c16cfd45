// The far end of a serial line for tests: the side the exchange would sit on. While a far end lives, a
// TSerialPort on cpCOM1 ("COM1") opens the near end of its line. Linux builds one from a
// pseudo-terminal (pty/), Windows from a pty Wine maps to COM1 (wine/); the test bodies use only this.
#pragma once

#include <memory>
#include <string>

namespace testsupport {

class TFarEnd {
 public:
  virtual ~TFarEnd() = default;
  // Sends bytes (zero bytes included) towards the near end; true once all of them are on the line.
  virtual bool Write(const std::string& bytes) = 0;
  // The peer goes away for good (cable pulled, far process gone); Write fails from then on.
  virtual void Vanish() = 0;
};

// A fresh line with "COM1" mapped to its near end; null, with the reason in error, when none can be made.
// Every far end of a process appears at the same place, as a device unplugged and plugged in again
// does: a port that lost one finds the next where it was.
std::unique_ptr<TFarEnd> MakeFarEnd(std::string& error);

// Makes "COM1" lead to where the next far end will appear, before there is one: a device plugged in
// after the program started. Programs started from here on inherit that.
void AwaitFarEnd();

// Counts the bytes that wait, unread, at the near end of the line that "COM1" leads to now. Made
// before the port under test opens the near end: both systems let the two share it.
class TNearEndWatch {
 public:
  virtual ~TNearEndWatch() = default;
  // -1 when the count cannot be read.
  virtual int Waiting() = 0;
};
// Null, with the reason in error, when the near end cannot be opened.
std::unique_ptr<TNearEndWatch> WatchNearEnd(std::string& error);

// What the system under the near end is known not to do, so the bodies can state it instead of
// skipping. Wine shares a device whatever sharing mode the program asks for, and sets a rate termios
// has no constant for through a custom divisor that a pseudo-terminal ignores (the line then holds
// 38400). Windows itself does both; so does Linux.
struct TLineLimits {
  bool refusesSecondOpen = true;
  bool keepsRatesWithoutAConstant = true;
};
TLineLimits LineLimits();

}  // namespace testsupport
