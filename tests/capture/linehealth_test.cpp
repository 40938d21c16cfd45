// When the line counts as unreadable and when as readable again: from the recent lines and the
// driver's error counts.
#include "linehealth.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace capture {
namespace {

// Events: 'c' a call, 'n' a line that is no call, 'f' the driver counts one more framing error, 'o'
// one more overrun, 'r' the port opened afresh and its counts read once, started again at zero
// (Windows, a USB adapter plugged in again), 'R' the same with the counts going on (a UART counts
// from boot).
struct TCase {
  const char* Name;
  std::string Events;
  std::string Unreadable;  // after each event: '-' readable, 'U' unreadable
};

const TCase Cases[] = {
    {"seven of ten no call is a quiet day", "nnnnnnncccnnn", "-------------"},
    {"eight of ten no call", "cnnnnnnnn", "--------U"},
    {"back after three calls in a row", "nnnnnnnnccnccc", "-------UUUUUU-"},
    {"a framing error, then three calls", "cfccc", "-UUU-"},
    {"overruns say nothing of the settings", "cooo", "----"},
    {"counts that start again after a reopen are not errors", "cfcccrf", "-UUU--U"},
    {"counts from before the open are not the line's", "cfcccRc", "-UUU---"},
};

TEST(LineHealth, UnreadableFromRecentLinesAndDriverErrors) {
  for (const TCase& c : Cases) {
    SCOPED_TRACE(c.Name);
    TLineHealth health;
    serial::TLineErrors counts;
    QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
    health.DriverErrors(counts, now);  // the port opened with nothing counted
    std::string seen;
    for (const char event : c.Events) {
      now = now.addSecs(1);
      switch (event) {
        case 'c':
        case 'n':
          health.Line(event == 'c', now);
          break;
        case 'f':
          ++counts.Frame;
          health.DriverErrors(counts, now);
          break;
        case 'o':
          ++counts.Overrun;
          health.DriverErrors(counts, now);
          break;
        case 'r':
        case 'R':
          if (event == 'r') counts = {};
          health.Opened();
          health.DriverErrors(counts, now);
          break;
      }
      seen += health.Unreadable() ? 'U' : '-';
    }
    EXPECT_EQ(seen, c.Unreadable);
  }
}

TEST(LineHealth, TellsSinceWhenTheLastLineAndTheTotals) {
  TLineHealth health;
  const QDateTime start(QDate(2026, 12, 9), QTime(10, 0));
  EXPECT_FALSE(health.LastLine().isValid());
  for (int i = 0; i < 9; ++i) health.Line(false, start.addSecs(i));
  EXPECT_EQ(health.Since(), start.addSecs(7));
  EXPECT_EQ(health.LastLine(), start.addSecs(8));
  EXPECT_EQ(health.NoCalls(), 9);
  health.DriverErrors({5, 0, 0, 0}, start);  // counted before the port was opened
  health.DriverErrors({7, 1, 0, 0}, start);
  health.Opened();
  health.DriverErrors({0, 0, 0, 0}, start);
  health.DriverErrors({1, 0, 3, 1}, start);
  EXPECT_EQ(health.Errors(), (serial::TLineErrors{3, 1, 3, 1}));
}

// Silence counts from the last line, or from the connect when that came later, and only past the
// site's limit.
TEST(LineHealth, SilentPastTheSitesLimit) {
  using std::chrono::hours;
  const QDateTime connect(QDate(2026, 12, 9), QTime(18, 0));
  const auto at = [&connect](int hours, int minutes = 0) { return connect.addSecs(hours * 3600 + minutes * 60); };
  TLineHealth health;
  health.Listening(connect);
  EXPECT_EQ(health.SilentHours(at(30)), 0);  // no limit: an exchange is silent every night
  health.SetSilenceLimit(hours(8));
  EXPECT_EQ(health.SilentHours(at(7, 59)), 0);
  EXPECT_EQ(health.SilentHours(at(8)), 8);
  EXPECT_EQ(health.SilentHours(at(30, 30)), 30);
  health.Line(true, at(9));
  EXPECT_EQ(health.QuietSince(), at(9));
  EXPECT_EQ(health.SilentHours(at(16, 59)), 0);
  EXPECT_EQ(health.SilentHours(at(17)), 8);
  health.Listening(at(20));  // disconnected and connected again, later
  EXPECT_EQ(health.QuietSince(), at(20));
  EXPECT_EQ(health.SilentHours(at(27, 59)), 0);
}

}  // namespace
}  // namespace capture
