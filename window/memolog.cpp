#include "memolog.h"

#include <QPlainTextEdit>

namespace window {

void TMemoLog::AppendLine(const QString& line) {
  FMemo.appendPlainText(line);
  // The tick runs on the interface thread: paint now so the line shows before the next database call.
  FMemo.repaint();
}

void TMemoLog::Clear() {
  FMemo.clear();
}

}  // namespace window
