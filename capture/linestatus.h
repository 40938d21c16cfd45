// The serial line's state as the status line and the history of state changes read it: whether the
// port is open or lost, whether what it brings can be read, and whether it has been silent too long.
#pragma once

#include <QDateTime>
#include <QString>

#include "comm.h"
#include "portkeeper.h"

namespace serial {
class TSerialPort;
}

namespace capture {

struct TLineStatus {
  TPortState Port = TPortState::psClosed;
  QString Device;    // "COM1 (/dev/ttyUSB0)"
  QString Error;     // the system's words for the last failure of the port
  QDateTime Since;   // lost since (psLost)
  bool Unreadable = false;
  QDateTime UnreadableSince;
  int NoCalls = 0;  // of the Recent last lines, how many were no call
  int Recent = 0;
  bool Counted = false;  // the driver counts line errors (Errors holds them)
  serial::TLineErrors Errors;
  QString Settings;  // the line settings in use, in words
  QString Name;      // the line as the site's settings name it: "/dev/ttyUSB0 1200 7E1", "tcp://10.0.0.5:4001"
  QDateTime LastLine;  // invalid before the first line
  int SilenceLimit = 0;  // hours without a line that are a warning; 0: never
  int SilentHours = 0;   // while open: whole hours without a line once past the limit; else 0
  QDateTime QuietSince;  // no line since (the last line, or the connect)
};

// "9600 bit/s, 8 bits de dados, sem paridade, 1 bit de parada".
QString LineSettingsText(const serial::TSerialPort& port);

}  // namespace capture
