#include "linehealth.h"

#include <algorithm>

namespace capture {

namespace {

// Growth of one counter; a counter that went back (a driver that restarted it) counts from zero.
std::uint32_t Growth(std::uint32_t now, std::uint32_t before) {
  return now >= before ? now - before : now;
}

}  // namespace

void TLineHealth::Line(bool call, const QDateTime& received) {
  FLastLine = received;
  FRecent.push_back(call);
  if (FRecent.size() > static_cast<std::size_t>(RecentLines)) FRecent.pop_front();
  FCallsInARow = call ? FCallsInARow + 1 : 0;
  Judge(received);
}

void TLineHealth::Opened() {
  FLastCounts.reset();
}

void TLineHealth::DriverErrors(const serial::TLineErrors& counts, const QDateTime& now) {
  const serial::TLineErrors before = FLastCounts.value_or(counts);
  const serial::TLineErrors growth{Growth(counts.Frame, before.Frame), Growth(counts.Parity, before.Parity),
                                   Growth(counts.Overrun, before.Overrun), Growth(counts.Break, before.Break)};
  FLastCounts = counts;
  FTotal.Frame += growth.Frame;
  FTotal.Parity += growth.Parity;
  FTotal.Overrun += growth.Overrun;
  FTotal.Break += growth.Break;
  // Overruns and breaks lose bytes but say nothing of the settings; framing and parity errors do.
  if (growth.Frame + growth.Parity == 0) return;
  FDriverTrouble = true;
  FCallsInARow = 0;
  Judge(now);
}

int TLineHealth::NoCalls() const {
  return static_cast<int>(std::count(FRecent.begin(), FRecent.end(), false));
}

QDateTime TLineHealth::QuietSince() const {
  if (!FLastLine.isValid()) return FListening;
  return FListening.isValid() && FListening > FLastLine ? FListening : FLastLine;
}

int TLineHealth::SilentHours(const QDateTime& now) const {
  const QDateTime quiet = QuietSince();
  if (FSilenceLimit.count() == 0 || !quiet.isValid()) return 0;
  const qint64 hours = quiet.secsTo(now) / 3600;
  return hours >= FSilenceLimit.count() ? static_cast<int>(hours) : 0;
}

void TLineHealth::Judge(const QDateTime& now) {
  if (FCallsInARow >= CallsToRecover) FDriverTrouble = false;
  const bool unreadable = FUnreadable ? FCallsInARow < CallsToRecover : FDriverTrouble || NoCalls() >= NoCallLimit;
  if (unreadable && !FUnreadable) FSince = now;
  FUnreadable = unreadable;
}

}  // namespace capture
