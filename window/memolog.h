// The log panel Memo1 as the receive cycle sees it: lines appended to a list of the day's lines that
// the view shows on its next paint, scrolled to the last line once per pass of the event loop; no text
// layout of the whole log and no paint per line.
#pragma once

#include "oncelater.h"
#include "receivecycle.h"

class QListView;

namespace window {

class TLogLines;

class TMemoLog : public capture::TLogSink {
 public:
  // Gives the view its look (lime on the window-text colour, "Arial" 9 pixels, a pointing hand) and
  // its lines.
  explicit TMemoLog(QListView& memo);

  void AppendLine(const QString& line) override;
  void Clear() override;

 private:
  TLogLines* FLines;  // owned by the view
  TOnceLater FScrollToEnd;
};

}  // namespace window
