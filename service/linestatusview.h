// What the status line shows of the serial line: the port closed, connecting, open, lost, or bringing
// lines that cannot be read; the detail, with the time of the last line received, in its tool tip.
#pragma once

#include "linestatus.h"
#include "statusline.h"

namespace service {

TStatusView LineView(const capture::TLineStatus& line);

// "dd/MM/yyyy HH:mm:ss", as the status line writes times.
QString StatusTime(const QDateTime& when);

}  // namespace service
