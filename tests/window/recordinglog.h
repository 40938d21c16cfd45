// The log panel as a list of lines, for tests of the receive cycle.
#pragma once

#include <QStringList>

#include "receivecycle.h"

namespace window {

class TRecordingLog : public TLogSink {
 public:
  void AppendLine(const QString& line) override { Lines.append(line); }
  void Clear() override {
    Lines.clear();
    ++Clears;
  }

  QStringList Lines;
  int Clears = 0;
};

}  // namespace window
