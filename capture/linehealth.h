// Whether what the line brings can be read: the exchange and the port must agree on speed, parity and
// data bits, and when they do not, every line is garbage that decodes to no call, or the driver counts
// framing and parity errors. Judged from the recent lines and the driver's counts, never from a single
// line, since exchanges also print headers and notices that are no call. And whether the line has been
// silent for longer than the site allows (an exchange switched off, a cable out, a printer port that
// stopped sending): only the site knows how long a quiet spell may be, so that limit is its setting.
#pragma once

#include <QDateTime>
#include <chrono>
#include <deque>
#include <optional>

#include "comm.h"

namespace capture {

class TLineHealth {
 public:
  // Unreadable when at least NoCallLimit of the last RecentLines lines were no call...
  static constexpr int RecentLines = 10;
  static constexpr int NoCallLimit = 8;
  // ...and readable again once this many calls in a row came without a framing or parity error.
  static constexpr int CallsToRecover = 3;

  // Each framed line, as it is taken.
  void Line(bool call, const QDateTime& received);
  // The driver's counts for the open port, read after each tick; only their growth counts. Some
  // drivers count from the port's start (a UART since boot, a USB adapter since it was plugged in),
  // others from this open (Windows), so the first counts after a port opened afresh (Opened) are only
  // where the growth starts: errors from before, say from a test at another speed, are not the line's.
  void Opened();
  void DriverErrors(const serial::TLineErrors& counts, const QDateTime& now);

  bool Unreadable() const { return FUnreadable; }
  // Since when unreadable.
  QDateTime Since() const { return FSince; }
  // Of the recent lines (at most RecentLines), how many were no call.
  int NoCalls() const;
  int Recent() const { return static_cast<int>(FRecent.size()); }
  // What the driver counted since the program started, across reopens.
  const serial::TLineErrors& Errors() const { return FTotal; }
  // When the last line was received; invalid before the first.
  QDateTime LastLine() const { return FLastLine; }

  // Hours without a line after which the line counts as silent; 0: never.
  void SetSilenceLimit(std::chrono::hours limit) { FSilenceLimit = limit; }
  std::chrono::hours SilenceLimit() const { return FSilenceLimit; }
  // The operator connected: until a line comes, the silence counts from here.
  void Listening(const QDateTime& since) { FListening = since; }
  // Since when nothing has come: the last line, or the connect when that was later.
  QDateTime QuietSince() const;
  // Whole hours without a line once they reach the limit; 0 while within it, or without a limit.
  int SilentHours(const QDateTime& now) const;

 private:
  void Judge(const QDateTime& now);

  std::deque<bool> FRecent;  // true: a call; newest last
  int FCallsInARow = 0;
  bool FDriverTrouble = false;  // framing or parity errors since the last call
  std::optional<serial::TLineErrors> FLastCounts;  // none until the first counts after an open
  serial::TLineErrors FTotal;
  bool FUnreadable = false;
  QDateTime FSince;
  QDateTime FLastLine;
  std::chrono::hours FSilenceLimit{0};
  QDateTime FListening;
};

}  // namespace capture
