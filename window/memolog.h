// The log panel Memo1 over the log's lines: the view shows them on its next paint, scrolled to the last
// line once per pass of the event loop; no text layout of the whole log and no paint per line.
#pragma once

#include "loglines.h"
#include "oncelater.h"

class QListView;

namespace window {

class TMemoLog {
 public:
  // Gives the view its look (lime on the window-text colour, "Arial" 9 pixels, a pointing hand) and
  // the lines, which outlive it.
  TMemoLog(QListView& memo, service::TLogLines& lines);

 private:
  TOnceLater FScrollToEnd;
};

}  // namespace window
