// The status line of the button bar: what the operator reads of the host database at a glance, with
// the detail in its tool tip. Kept apart from the label so it is checked without a screen.
#pragma once

#include <QColor>
#include <QString>

#include "storeworker.h"

namespace service {

struct TStatusView {
  QString Text;
  QColor Colour;  // invalid: the bar's own text colour
  QString ToolTip;
};

class TStatusLine {
 public:
  // A statement the worker has waited for longer than this is a server that does not answer.
  static constexpr int NoAnswerSeconds = 10;

  // What the worker last reported.
  void SetStatus(const calls::THostStatus& status);
  // Calls journaled since that report, which the worker has not counted yet.
  void AddWaiting(int calls) { FUnreported += calls; }
  // When the worker's statement under way began (invalid: none), as its watch tells at now; true
  // when that changes what the line shows.
  bool SetStatementSince(const QDateTime& since, const QDateTime& now);
  // When the statement that does not answer began; invalid while the server answers.
  const QDateTime& NoAnswerSince() const { return FNoAnswerSince; }

  TStatusView View() const;

 private:
  calls::THostStatus FStatus;
  int FUnreported = 0;
  QDateTime FNoAnswerSince;  // valid while a statement has waited longer than NoAnswerSeconds
};

}  // namespace service
