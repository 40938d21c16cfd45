// The history of state changes on standard error, one line each, for the site's IT: wherever the
// session keeps standard error (the user's systemd journal for an autostarted program, a redirect).
// Each line: the local time in ISO 8601, "logchamadas:", the text in Portuguese.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

#include "linestatus.h"
#include "storeworker.h"

namespace service {

// Writes one finished line.
using THistoryWriter = std::function<void(const QString& line)>;
// Standard error, at once.
void WriteToStandardError(const QString& line);

// "2026-12-09T10:20:00-03:00 logchamadas: text".
QString HistoryLine(const QDateTime& when, const QString& text);

// The database's state changes as the worker reports them: unreachable, back; delivery failing while
// the server is reached, working again; a statement besides delivery (the stamp, the server's date,
// the day's list) failing, working again. The one place that
// maps THostStatus to history lines.
QStringList HostChanges(const calls::THostStatus& before, const calls::THostStatus& now);
// The line's: port lost (or not opening), port back, lines unreadable, readable again, silent past the
// site's limit, lines again.
QStringList LineChanges(const capture::TLineStatus& before, const capture::TLineStatus& now);

class TStateHistory {
 public:
  explicit TStateHistory(THistoryWriter writer = WriteToStandardError,
                         std::function<QDateTime()> clock = &QDateTime::currentDateTime);

  void Note(const QString& text);
  void Host(const calls::THostStatus& status);
  void Line(const capture::TLineStatus& status);
  void Journal(bool failing, const QString& error);
  // A statement that does not answer began at since (invalid: the server answers again).
  void NoAnswer(const QDateTime& since);

 private:
  THistoryWriter FWriter;
  std::function<QDateTime()> FClock;
  calls::THostStatus FHost;
  capture::TLineStatus FLine;
  bool FJournalFailing = false;
  QDateTime FNoAnswerSince;
};

}  // namespace service
