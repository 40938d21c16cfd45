// The call store while its PostgreSQL server goes away and comes back (the shared cluster is
// stopped and started again), refuses a commit, or refuses a login.
#include "calllistmodel.h"
#include "pgcluster.h"
#include "storesettings.h"
#include "storetestbase.h"

using storetest::At;
using storetest::Call;
using storetest::ListColumn;
using testsupport::TEngine;
using testsupport::TPostgresCluster;

namespace {

class PostgresServer : public ::testing::Test, protected storetest::TStoreTestBase {
 protected:
  void SetUp() override { Open(TEngine::Postgres); }
  // Whatever happens in a test, the next one finds the server running.
  void TearDown() override { Cluster.Start(); }

  TPostgresCluster Cluster = TPostgresCluster::FromEnvironment();
};

TEST_F(PostgresServer, ARestartWhileIdleCostsNoCall) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 1, "A")));
  Cluster.Stop();
  Cluster.Start();
  EXPECT_TRUE(Store->InsertCall(Call(14, 9, 0, 2, "B"))) << Store->LastError().toStdString();
  EXPECT_TRUE(Store->StampLastTransmission(At(14, 9, 0, 2))) << Store->LastError().toStdString();
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B"}));
}

TEST_F(PostgresServer, CallsArrivingWhileTheServerIsDownAreStoredOnceWhenItIsBack) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 1, "A")));
  Cluster.Stop();
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(Store->StampLastTransmission(At(14, 9, 0, 2)));
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 3, "C")));
  EXPECT_FALSE(Store->fcDataAtual(QStringLiteral("N")).has_value());
  EXPECT_FALSE(Store->OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(ListColumn(Store->dsCall(), calls::ccRAMA), (QVariantList{"B", "C"}));
  EXPECT_EQ(Store->PendingCount(), 2);

  Cluster.Start();
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 4, "D"))) << Store->LastError().toStdString();
  EXPECT_TRUE(Store->StampLastTransmission(At(14, 9, 0, 4)));
  EXPECT_EQ(Store->PendingCount(), 0);
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D"}));
}

// A deferred constraint trigger lets every insert through and fails the commit.
TEST_F(PostgresServer, ACommitThatFailsKeepsEveryRowPending) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 1, "A")));
  Host->Exec(
      QStringLiteral("CREATE OR REPLACE FUNCTION tbcall_refuse() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN RAISE EXCEPTION ''refused at commit''; END'"));
  Host->Exec(
      QStringLiteral("CREATE CONSTRAINT TRIGGER tbcall_at_commit AFTER INSERT ON tbcall "
                     "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION tbcall_refuse()"));
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 3, "C")));
  EXPECT_TRUE(Store->LastError().contains(QStringLiteral("refused at commit")))
      << Store->LastError().toStdString();
  EXPECT_EQ(Store->PendingCount(), 2);
  EXPECT_EQ(StoredRamas(), (QStringList{"A"}));

  Host->Exec(QStringLiteral("DROP TRIGGER tbcall_at_commit ON tbcall"));
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 4, "D"))) << Store->LastError().toStdString();
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D"}));
}

TEST(PostgresLogin, AWrongPasswordGivesTheServersText) {
  testsupport::THostDatabase host(TEngine::Postgres, QStringLiteral("store-odbc"));
  calls::TStoreSettings settings = host.Settings(QStringLiteral("wrong-password"));
  settings.Password = QStringLiteral("not-the-password");
  calls::TCallStore store(settings);
  EXPECT_FALSE(store.Connect());
  EXPECT_TRUE(
      store.LastError().contains(QStringLiteral("password authentication failed for user \"logtest\"")))
      << store.LastError().toStdString();
}

}  // namespace
