// Delivery from the journal into the host database on real engines: once and only once, whatever
// happens to a commit, and past calls the server will never take.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "callstore.h"
#include "delivery.h"
#include "hostdatabase.h"
#include "journal.h"
#include "journalcounts.h"

using namespace calls;
using testsupport::TEngine;

namespace {

const QDateTime Now(QDate(2026, 12, 9), QTime(10, 0, 0));

class DeliveryTest : public testing::TestWithParam<TEngine> {
 protected:
  DeliveryTest() {
    EXPECT_TRUE(Journal.Open(Folder.filePath(QStringLiteral("journal.sqlite"))));
  }

  // Journals calls from the given extensions, one a second.
  void Receive(const QStringList& extensions) {
    std::vector<TReceivedLine> lines;
    for (const QString& rama : extensions) {
      ++Second;
      TCallRecord call{{2026, 12, 9, 9, Second / 60, Second % 60}, rama.toStdString(), "0113456789", "00:01:00", "", "01", std::nullopt};
      lines.push_back({Clock, rama.toStdString() + " " + std::to_string(Second), call});
    }
    std::vector<TJournaled> journaled;
    ASSERT_TRUE(Journal.Append(lines, journaled)) << Journal.LastError().toStdString();
  }
  TDeliveryReport Apply() {
    Clock = Clock.addSecs(1);
    return Delivery.quCallAfterPost();
  }
  // RAMA of TBCALL by date.
  QStringList Stored() {
    QStringList ramas;
    for (const QVariantList& row : Host.Rows(QStringLiteral("SELECT RAMA FROM TBCALL ORDER BY DATA")))
      ramas.push_back(row.front().toString().trimmed());
    return ramas;
  }
  TJournalCounts Counts() { return CountsOf(Journal); }

  QTemporaryDir Folder;
  testsupport::THostDatabase Host{GetParam(), QStringLiteral("store-odbc")};
  TJournal Journal{QStringLiteral("journal-delivery")};
  TCallStore Store{Host.Settings()};
  QDateTime Clock = Now;
  TDelivery Delivery{Journal, Store, [this] { return Clock; }};
  int Second = 0;
};

TEST_P(DeliveryTest, WaitingCallsAreStoredOnceInArrivalOrder) {
  Receive({"A", "B", "C"});
  const TDeliveryReport report = Apply();
  EXPECT_EQ(report.Delivered.size(), 3u) << report.Error.toStdString();
  EXPECT_FALSE(report.More);
  EXPECT_TRUE(Apply().Delivered.empty());
  EXPECT_EQ(Stored(), (QStringList{"A", "B", "C"}));
  EXPECT_EQ(Counts().Waiting, 0);
}

// The connection lost around COMMIT: the server stored the batch, or never saw the commit. The next
// apply looks the calls up and stores only what is missing.
TEST_P(DeliveryTest, ACommitWhoseOutcomeWasLostStoresEveryCallExactlyOnce) {
  for (const TCommitFault fault : {TCommitFault::cfLostAfterCommit, TCommitFault::cfLostBeforeCommit}) {
    Receive({"X", "Y"});
    Store.InjectCommitFault(fault);
    EXPECT_TRUE(Apply().ServerDown);
    EXPECT_EQ(Counts().Waiting, 2);
    EXPECT_EQ(Apply().Delivered.size(), 2u);
  }
  EXPECT_EQ(Stored(), (QStringList{"X", "Y", "X", "Y"}));
}

// A host-system constraint refuses some calls: ten of them in front hold back no other, and after
// three refusals while other calls went in they are set aside with the server's reason.
TEST_P(DeliveryTest, CallsTheServerAlwaysRefusesAreSteppedOverAndSetAside) {
  Host.BreakInserts(QStringLiteral("BAD"));
  QStringList front(12, QStringLiteral("BAD"));
  Receive(front + QStringList{"G1", "G2"});
  EXPECT_EQ(Apply().Delivered.size(), 2u);
  EXPECT_EQ(Stored(), (QStringList{"G1", "G2"}));

  std::size_t setAside = 0;
  for (const char* later : {"G3", "G4"}) {
    Receive({later});
    const TDeliveryReport report = Apply();
    EXPECT_EQ(report.Delivered.size(), 1u);
    setAside += report.SetAside.size();
  }
  EXPECT_EQ(setAside, 12u);
  EXPECT_EQ(Counts().Waiting, 0);
  EXPECT_EQ(Counts().Refused, 12);

  // At the next start or day they wait again, and go in once the server takes them.
  Host.MendInserts();
  ASSERT_TRUE(Journal.ReviveRefused());
  EXPECT_EQ(Apply().Delivered.size(), 12u);
  EXPECT_EQ(Stored().count(QStringLiteral("BAD")), 12);
}

// A server that refuses everything (a permission, a full disk) sets nothing aside: the round ends
// and the worker waits before trying again.
TEST_P(DeliveryTest, AServerThatRefusesEverythingSetsNothingAside) {
  Host.BreakInserts();
  Receive({"A", "B"});
  bool refusing = false;
  for (int i = 0; i < 6 && !refusing; ++i) {
    const TDeliveryReport report = Apply();
    EXPECT_TRUE(report.SetAside.empty());
    refusing = report.Refusing;
  }
  EXPECT_TRUE(refusing);
  EXPECT_EQ(Counts().Waiting, 2);
  Host.MendInserts();
  EXPECT_EQ(Apply().Delivered.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DeliveryTest, testing::Values(TEngine::Sqlite));
INSTANTIATE_TEST_SUITE_P(Postgres, DeliveryTest, testing::Values(TEngine::Postgres));

}  // namespace
