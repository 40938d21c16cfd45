// A running logger's claim on its line, seen machine-wide: the line test asks before it opens a line,
// so it never takes the logger's (a device server that serves one client hands the line to the
// newest, and the calls would go to the test). The system lets go of a claim when its process ends,
// so a killed logger leaves none behind. One implementation per system (lineclaim_posix.cpp: an
// abstract local socket name; lineclaim_win32.cpp: a named mutex).
#pragma once

#include <QString>
#include <cstdint>

namespace capture {

class TLineClaim {
 public:
  TLineClaim() = default;
  ~TLineClaim() { Release(); }
  TLineClaim(const TLineClaim&) = delete;
  TLineClaim& operator=(const TLineClaim&) = delete;

  // Claims the line ("tcp://10.0.0.5:4001", "/dev/ttyUSB0", as the operator reads it) until Release.
  void Take(const QString& line);
  void Release();
  // Whether a claim on the line is held now, by any process of this machine (this one included).
  static bool Held(const QString& line);

 private:
  std::intptr_t FToken = -1;
};

// The name the system knows a line's claim by: the same for any spelling of the line's case.
QString ClaimName(const QString& line);

}  // namespace capture
