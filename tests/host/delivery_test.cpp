// Delivery from the journal into the host database on real engines: once and only once, whatever
// happens to a commit, and past calls the server will never take.
#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QTemporaryDir>

#include "callstore.h"
#include "delivery.h"
#include "hostdatabase.h"
#include "journal.h"
#include "journalcounts.h"
#include "journaldamage.h"
#include "pgcluster.h"

using namespace calls;
using testsupport::TEngine;

namespace {

const QDateTime Now(QDate(2026, 12, 9), QTime(10, 0, 0));
const char* const PersonalCode = "4321";

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
      TCallRecord call{{2026, 12, 9, 9, Second / 60, Second % 60},
                       rama.toStdString(),
                       "0113456789",
                       "00:01:00",
                       PersonalCode,
                       "01",
                       std::nullopt};
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

// A host-system constraint refuses some calls: twelve of them in front hold back no other, and after
// three refusals while other calls went in they are set aside with the server's reason, which keeps
// no caller's personal code (psqlODBC quotes the refused row).
TEST_P(DeliveryTest, CallsTheServerAlwaysRefusesAreSteppedOverAndSetAside) {
  Host.BreakInserts(QStringLiteral("BAD"));
  QStringList front(12, QStringLiteral("BAD"));
  Receive(front + QStringList{"G1", "G2", "G3"});
  EXPECT_EQ(Apply().Delivered.size(), 3u);
  EXPECT_EQ(Stored(), (QStringList{"G1", "G2", "G3"}));

  std::vector<TSetAside> setAside;
  for (const char* later : {"G4", "G5"}) {
    Receive({later});
    const TDeliveryReport report = Apply();
    EXPECT_EQ(report.Delivered.size(), 1u);
    setAside.insert(setAside.end(), report.SetAside.begin(), report.SetAside.end());
  }
  ASSERT_EQ(setAside.size(), 12u);
  EXPECT_FALSE(setAside[0].Reason.isEmpty());
  for (const TSetAside& call : setAside)
    EXPECT_FALSE(call.Reason.contains(PersonalCode)) << call.Reason.toStdString();
  EXPECT_EQ(Counts().Waiting, 0);
  EXPECT_EQ(Counts().Refused, 12);

  // At the next start or day they wait again, and go in once the server takes them.
  Host.MendInserts();
  ASSERT_TRUE(Journal.ReviveRefused());
  EXPECT_EQ(Apply().Delivered.size(), 12u);
  EXPECT_EQ(Stored().count(QStringLiteral("BAD")), 12);
}

// The connection really broken between the inserts and the COMMIT (the server shut down): the
// outcome is unknown, and once the server is back the calls are looked up and stored exactly once.
TEST_P(DeliveryTest, ACommitCutOffByTheServerGoingDownStoresEveryCallOnce) {
  if (GetParam() != TEngine::Postgres) GTEST_SKIP() << "needs a server that can be stopped";
  const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
  const auto start = qScopeGuard([&] { cluster.Start(); });
  Receive({"X", "Y"});
  Store.BeforeNextCommit([&] { cluster.Stop(); });
  const TDeliveryReport lost = Apply();
  EXPECT_TRUE(lost.ServerDown) << lost.Error.toStdString();
  EXPECT_EQ(Counts().Waiting, 2);
  cluster.Start();
  EXPECT_EQ(Apply().Delivered.size(), 2u);
  EXPECT_EQ(Stored(), (QStringList{"X", "Y"}));
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

// A journal damaged in a page of calls, its header intact: the calls SQLite can still read are copied
// into the new journal and delivered; the re-send guard still knows them, and a lost one that the
// exchange sends again is journaled anew.
TEST(DamagedJournal, TheReadableWaitingCallsAreDelivered) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("journal.sqlite"));
  const std::vector<TReceivedLine> lines = testsupport::NumberedCalls(300, Now);
  const QStringList readable = testsupport::JournalDamagedAt(path, lines, 150);
  ASSERT_FALSE(readable.isEmpty());
  ASSERT_LT(readable.size(), 300);

  TJournal journal(QStringLiteral("journal-recovered"));
  ASSERT_TRUE(journal.Open(path)) << journal.LastError().toStdString();
  EXPECT_FALSE(journal.SetAsideFile().isEmpty());
  EXPECT_EQ(journal.Recovered().Calls, readable.size()) << journal.Recovered().Error.toStdString();

  testsupport::THostDatabase host(TEngine::Sqlite, QStringLiteral("store-odbc"));
  TCallStore store(host.Settings());
  TDelivery delivery(journal, store, [] { return Now; });
  while (delivery.quCallAfterPost().More) {
  }
  QStringList stored;
  for (const QVariantList& row : host.Rows(QStringLiteral("SELECT RAMA FROM TBCALL ORDER BY DATA")))
    stored.append(row.front().toString());
  EXPECT_EQ(stored, readable);

  std::vector<TJournaled> again;
  ASSERT_TRUE(journal.Append({lines[0], lines[150]}, again));
  EXPECT_TRUE(again[0].Resent);
  EXPECT_FALSE(again[1].Resent);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DeliveryTest, testing::Values(TEngine::Sqlite));
INSTANTIATE_TEST_SUITE_P(Postgres, DeliveryTest, testing::Values(TEngine::Postgres));

}  // namespace
