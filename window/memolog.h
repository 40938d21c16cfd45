// The log panel as the receive cycle sees it: lines appended to Memo1 and shown at once.
#pragma once

#include "receivecycle.h"

class QPlainTextEdit;

namespace window {

class TMemoLog : public TLogSink {
 public:
  explicit TMemoLog(QPlainTextEdit& memo) : FMemo(memo) {}

  void AppendLine(const QString& line) override;
  void Clear() override;

 private:
  QPlainTextEdit& FMemo;
};

}  // namespace window
