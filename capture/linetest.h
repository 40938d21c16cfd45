// The settings dialog's line test, for commissioning a site: opens the chosen line for a while and
// tells what arrives (bytes, lines, how many of them decode as calls, the driver's error counts) and
// what that suggests ("3 linhas, 3 chamadas reconhecidas", "dados ilegíveis: experimente outra
// velocidade"). A line that this machine's running logger has claimed (lineclaim.h) is not even
// opened, and opens are exclusive, so one that another program holds does not open either: the test
// says so and the logger goes on undisturbed. A plain object driven by its own timer; the dialog only
// shows what it reports.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "comm.h"
#include "lineframer.h"
#include "linehealth.h"
#include "sitesettings.h"

namespace serial {
class TLineRouter;
class TSerialPort;
}

namespace capture {

class TReadWatch;

struct TLineTestCounts {
  std::uint64_t Bytes = 0;
  int Lines = 0;
  int Calls = 0;
  bool Counted = false;  // the driver keeps line error counts (Errors holds them)
  serial::TLineErrors Errors;
  // What the bytes look like: outside printable ASCII and the line ends; with an even or odd number
  // of one bits; with the eighth bit set; lines that decode as calls once the eighth bit is cleared.
  std::uint64_t Unprintable = 0;
  std::uint64_t EvenBytes = 0;
  std::uint64_t OddBytes = 0;
  std::uint64_t EighthBit = 0;
  int CallsIn7Bits = 0;
};

class TLineTest {
 public:
  static constexpr std::chrono::seconds Duration{15};
  // Reads a few times a second, so the counts move while the operator watches.
  static constexpr std::chrono::milliseconds ReadEvery{250};

  explicit TLineTest(std::chrono::milliseconds duration = Duration);
  ~TLineTest();
  TLineTest(const TLineTest&) = delete;
  TLineTest& operator=(const TLineTest&) = delete;

  // Opens the line the settings name (with their line settings) and starts the clock; false, with
  // Verdict() saying why, when it does not open.
  bool Start(const TSiteSettings& settings);
  // Ends the test now and lets the line go.
  void Stop();
  bool Running() const { return FTimer.isActive(); }
  // The last test opened its line (and may have counts to show).
  bool Opened() const { return FOpened; }

  // After each read and when the test ends.
  std::function<void()> OnChange;
  // Each line as it is framed: what the log panel would show of it, and whether it is a call.
  std::function<void(const QString& line, bool call)> OnLine;

  // The line being tested, as the operator reads it: "/dev/ttyUSB0", "COM1 (/dev/ttyS0)".
  const QString& Device() const { return FDevice; }
  const TLineTestCounts& Counts() const { return FCounts; }
  int SecondsLeft() const;
  // "3 linhas, 3 chamadas reconhecidas (240 bytes)", with the driver's errors when it counts them.
  QString CountsText() const;
  // What the operator should make of it so far, or why the line did not open or failed.
  QString Verdict() const;

 private:
  void Tick();
  void Take(const std::string& bytes);
  void TakeLines(const std::vector<TFramedLine>& lines);
  void Finish();

  std::chrono::milliseconds FDuration;
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLastBytesAt = 0;
  std::unique_ptr<serial::TSerialPort> FPort;
  TReadWatch* FWatch = nullptr;
  TLineFramer FFramer;
  TLineTestCounts FCounts;
  TLineHealth FErrors;  // keeps the driver's counts since the open
  QString FDevice;
  bool FTcp = false;
  QString FFailure;  // the line did not open, or failed: why, for the operator
  bool FOpened = false;
  bool FEnded = false;
};

}  // namespace capture
