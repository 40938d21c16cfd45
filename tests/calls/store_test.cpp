// The call store against real engines through their ODBC drivers: one body run for each engine, then
// the PostgreSQL server going away and coming back (the shared cluster is stopped and started),
// refusing a commit or a login.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ctime>

#include "calllistmodel.h"
#include "callstore.h"
#include "hostdatabase.h"
#include "pgcluster.h"
#include "storesettings.h"

using namespace calls;
using testsupport::TEngine;

namespace {

TCallRecord Call(int day, int hour, int minute, int second, std::string rama = "201",
                 std::string numeDisc = "0215551234") {
  TCallRecord call;
  call.DATA = {2026, 3, day, hour, minute, second};
  call.RAMA = std::move(rama);
  call.NUME_DISC = std::move(numeDisc);
  call.DURA = "00:01:05";
  call.SENH = "4321";
  call.TRON = "07";
  return call;
}

QDateTime At(int day, int hour, int minute, int second) {
  return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

// One column of the list as the grid would show it.
QVariantList ListColumn(const QAbstractItemModel& model, int column = ccRAMA) {
  QVariantList values;
  for (int row = 0; row < model.rowCount(); ++row) values.push_back(model.data(model.index(row, column)));
  return values;
}

std::string Why(const TCallStore& store) {
  return store.LastError().toStdString();
}

// A connected store over fresh host tables.
class StoreFixture : public testing::Test {
 protected:
  explicit StoreFixture(TEngine engine)
      : Host(engine, QStringLiteral("store-odbc")), Store(Host.Settings()) {}
  void SetUp() override { ASSERT_TRUE(Store.Connect()) << Why(Store); }

  // RAMA of the stored calls by date, blank padding dropped.
  QStringList StoredRamas() {
    QStringList ramas;
    for (const QVariantList& row : Host.Rows(QStringLiteral("SELECT RAMA FROM TBCALL ORDER BY DATA")))
      ramas.push_back(row.front().toString().trimmed());
    return ramas;
  }

  testsupport::THostDatabase Host;
  TCallStore Store;
};

class StoreTest : public StoreFixture, public testing::WithParamInterface<TEngine> {
 protected:
  StoreTest() : StoreFixture(GetParam()) {}
};

TEST_P(StoreTest, DayListHoldsMidnightAndLaterDaysButNotTheDayBefore) {
  for (const auto& call : {Call(15, 8, 0, 0, "D+1"), Call(13, 23, 59, 59, "D-1"), Call(14, 10, 0, 0, "D10"),
                           Call(14, 0, 0, 0, "D00")}) {
    ASSERT_TRUE(Store.InsertCall(call)) << Why(Store);
  }
  // Until the list is reopened the new rows stay where they were appended.
  EXPECT_EQ(ListColumn(Store.dsCall()), (QVariantList{"D+1", "D-1", "D10", "D00"}));

  ASSERT_TRUE(Store.OpenDayList(At(14, 0, 0, 0))) << Why(Store);
  EXPECT_EQ(ListColumn(Store.dsCall()), (QVariantList{"D00", "D10", "D+1"}));
  EXPECT_EQ(ListColumn(Store.dsCall(), ccDATA),
            (QVariantList{At(14, 0, 0, 0), At(14, 10, 0, 0), At(15, 8, 0, 0)}));
}

// Two posts (two ticks) run the insert twice; each call comes back with its seconds and TIPO null.
TEST_P(StoreTest, TwoPostsInsertTwiceAndComeBackWithTheirSecondsAndTipoNull) {
  ASSERT_TRUE(Store.InsertCall(Call(14, 12, 34, 56, "205", "99887766")));
  ASSERT_TRUE(Store.InsertCall(Call(14, 12, 34, 57, "206")));
  EXPECT_EQ(Store.PendingCount(), 0);
  EXPECT_EQ(StoredRamas(), (QStringList{"205", "206"}));
  ASSERT_TRUE(Store.OpenDayList(At(14, 0, 0, 0)));

  const QAbstractItemModel& list = Store.dsCall();
  ASSERT_EQ(list.rowCount(), 2);
  const QVariantList expected{At(14, 12, 34, 56), "205", "99887766", "00:01:05", "07", "4321"};
  for (int column = ccDATA; column <= ccSENH; ++column) {
    EXPECT_EQ(list.data(list.index(0, column)), expected[column]) << "column " << column;
  }
  EXPECT_TRUE(list.data(list.index(0, ccTIPO)).isNull());
  EXPECT_EQ(Host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE TIPO IS NULL")), 2);
  EXPECT_EQ(Host.Rows(QStringLiteral("SELECT DATA FROM TBCALL ORDER BY DATA")).back().front().toDateTime(),
            At(14, 12, 34, 57));
}

TEST_P(StoreTest, ValuesAreCutToTheFieldWidthAndReadWithoutPadding) {
  const struct {
    int Column;
    std::string TCallRecord::*Field;
    std::string Given;
    QString Listed;
  } cases[] = {
      {ccRAMA, &TCallRecord::RAMA, "123456789", "1234"},
      {ccNUME_DISC, &TCallRecord::NUME_DISC, "1234567890123456789012345", "12345678901234567890"},
      {ccDURA, &TCallRecord::DURA, " 00:01:05", " 00:01:05"},
      {ccTRON, &TCallRecord::TRON, " 1", " 1"},
      {ccSENH, &TCallRecord::SENH, "12", "12"},
      {ccRAMA, &TCallRecord::RAMA, "", ""},
  };
  int second = 0;
  for (const auto& c : cases) {
    TCallRecord call = Call(14, 9, 0, second++);
    call.*c.Field = c.Given;
    ASSERT_TRUE(Store.InsertCall(call)) << Why(Store);
  }
  ASSERT_TRUE(Store.OpenDayList(At(14, 0, 0, 0)));
  const QAbstractItemModel& list = Store.dsCall();
  ASSERT_EQ(list.rowCount(), static_cast<int>(std::size(cases)));
  for (int row = 0; row < list.rowCount(); ++row) {
    EXPECT_EQ(list.data(list.index(row, cases[row].Column)).toString(), cases[row].Listed) << "case " << row;
  }
}

TEST_P(StoreTest, StampSetsEveryRowOfTbpara) {
  Host.Exec(QStringLiteral("INSERT INTO TBPARA (HORA_ULTI_TRAN_FONE) VALUES (NULL)"));
  ASSERT_TRUE(Store.StampLastTransmission(At(14, 17, 45, 7))) << Why(Store);
  const auto rows = Host.Rows(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA"));
  ASSERT_EQ(rows.size(), 2u);
  for (const QVariantList& row : rows) EXPECT_EQ(row.front().toDateTime(), At(14, 17, 45, 7));
}

TEST_P(StoreTest, ServerClockGivesDateAndTimeForSAndMidnightOtherwise) {
  const QDateTime before = QDateTime::currentDateTime();
  const std::optional<QDateTime> now = Store.fcDataAtual(QStringLiteral("S"));
  ASSERT_TRUE(now.has_value()) << Why(Store);
  // The clock is the server's, read in the client's zone: it must agree with ours to the minute.
  EXPECT_LE(std::abs(before.secsTo(*now)), 60) << now->toString(Qt::ISODate).toStdString();

  for (const QString& flag : {QStringLiteral("N"), QStringLiteral(""), QStringLiteral("s")}) {
    const std::optional<QDateTime> day = Store.fcDataAtual(flag);
    ASSERT_TRUE(day.has_value()) << Why(Store);
    EXPECT_EQ(day->time(), QTime(0, 0));
    EXPECT_LE(std::abs(day->date().daysTo(now->date())), 1);
  }
}

TEST_P(StoreTest, QuotesAndAccentsAreStoredVerbatim) {
  const std::string number = "d'Ávila\"; --ção";
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 0, "'O'", number))) << Why(Store);
  const auto rows = Host.Rows(QStringLiteral("SELECT RAMA, NUME_DISC FROM TBCALL"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.front()[0].toString().trimmed(), QStringLiteral("'O'"));
  EXPECT_EQ(rows.front()[1].toString().trimmed(), QString::fromStdString(number));
}

TEST_P(StoreTest, FailedInsertIsRetriedAtTheNextApplyExactlyOnce) {
  Host.BreakInserts();
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 1, "A")));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(Store.LastError().isEmpty());
  EXPECT_EQ(Store.PendingCount(), 2);
  EXPECT_TRUE(StoredRamas().isEmpty());

  Host.MendInserts();
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 3, "C"))) << Why(Store);
  EXPECT_EQ(Store.PendingCount(), 0);
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 4, "D")));
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D"}));
}

TEST_P(StoreTest, ARowTheServerAlwaysRefusesDoesNotHoldBackTheOthers) {
  Host.BreakInserts(QStringLiteral("BAD"));
  EXPECT_TRUE(Store.InsertCall(Call(14, 9, 0, 1, "A")));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 2, "BAD")));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 3, "C")));  // stored; the refused row still waits
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "C"}));
  EXPECT_EQ(Store.PendingCount(), 1);

  Host.MendInserts();
  ASSERT_TRUE(Store.ApplyPending()) << Why(Store);
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "BAD", "C"}));
  EXPECT_EQ(Store.PendingCount(), 0);
}

TEST_P(StoreTest, PendingRowsAreStillListedAfterReopening) {
  ASSERT_TRUE(Store.InsertCall(Call(14, 8, 0, 0, "S1")));
  Host.BreakInserts();
  EXPECT_FALSE(Store.InsertCall(Call(13, 9, 0, 0, "P1")));  // of the day before: listed all the same
  ASSERT_TRUE(Store.OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(ListColumn(Store.dsCall()), (QVariantList{"S1", "P1"}));

  Host.MendInserts();
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 0, "S2")));
  EXPECT_EQ(StoredRamas(), (QStringList{"P1", "S1", "S2"}));
  EXPECT_EQ(ListColumn(Store.dsCall()), (QVariantList{"S1", "P1", "S2"}));
}

TEST_P(StoreTest, BeyondThePendingLimitNewCallsAreRefusedAndOlderOnesKept) {
  TStoreSettings settings = Host.Settings(QStringLiteral("limited"));
  settings.PendingLimit = 2;
  TCallStore limited(settings);
  ASSERT_TRUE(limited.Connect());
  Host.BreakInserts();
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 1, "A")));
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 3, "X")));
  EXPECT_TRUE(limited.LastError().startsWith(QStringLiteral("Chamada recusada: 2 chamadas"))) << Why(limited);
  EXPECT_EQ(limited.PendingCount(), 2);
  EXPECT_EQ(ListColumn(limited.dsCall()), (QVariantList{"A", "B"}));

  Host.MendInserts();
  ASSERT_TRUE(limited.InsertCall(Call(14, 9, 0, 4, "C")));
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C"}));
}

TEST_P(StoreTest, InsertDoesNotNeedTheListOrAnEarlierConnect) {
  TCallStore unconnected(Host.Settings(QStringLiteral("unconnected")));
  ASSERT_TRUE(unconnected.InsertCall(Call(14, 9, 0, 1))) << Why(unconnected);
  EXPECT_EQ(unconnected.dsCall().rowCount(), 1);
  EXPECT_EQ(StoredRamas().size(), 1);
}

TEST_P(StoreTest, ConnectToAnUnknownSourceGivesTheDriversTextAndLosesNothing) {
  TStoreSettings settings = Host.Settings(QStringLiteral("unknown"));
  settings.AliasName = QStringLiteral("alNaoExiste");
  TCallStore store(settings);
  EXPECT_FALSE(store.Connect());
  EXPECT_TRUE(store.LastError().contains(QStringLiteral("Data source name not found"))) << Why(store);
  EXPECT_FALSE(store.InsertCall(Call(14, 9, 0, 1)));
  EXPECT_EQ(store.PendingCount(), 1);
  EXPECT_FALSE(store.OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(store.dsCall().rowCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StoreTest, testing::Values(TEngine::Sqlite));
INSTANTIATE_TEST_SUITE_P(Postgres, StoreTest, testing::Values(TEngine::Postgres));

class PostgresServer : public StoreFixture {
 protected:
  PostgresServer() : StoreFixture(TEngine::Postgres) {}
  // Whatever happens in a test, the next one finds the server running.
  void TearDown() override { Cluster.Start(); }

  testsupport::TPostgresCluster Cluster = testsupport::TPostgresCluster::FromEnvironment();
};

TEST_F(PostgresServer, StoppedAndRestartedEveryCallIsStoredExactlyOnce) {
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 1, "A")));
  // A restart while idle costs no call: the lost connection is made again.
  Cluster.Stop();
  Cluster.Start();
  EXPECT_TRUE(Store.InsertCall(Call(14, 9, 0, 2, "B"))) << Why(Store);
  EXPECT_TRUE(Store.StampLastTransmission(At(14, 9, 0, 2))) << Why(Store);

  Cluster.Stop();
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 3, "C")));
  EXPECT_FALSE(Store.StampLastTransmission(At(14, 9, 0, 3)));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 4, "D")));
  EXPECT_FALSE(Store.fcDataAtual(QStringLiteral("N")).has_value());
  EXPECT_FALSE(Store.OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(ListColumn(Store.dsCall()), (QVariantList{"C", "D"}));
  EXPECT_EQ(Store.PendingCount(), 2);

  Cluster.Start();
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 5, "E"))) << Why(Store);
  EXPECT_TRUE(Store.StampLastTransmission(At(14, 9, 0, 5)));
  EXPECT_EQ(Store.PendingCount(), 0);
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D", "E"}));
}

// A deferred constraint trigger lets every insert through and fails the commit.
TEST_F(PostgresServer, ACommitThatFailsKeepsEveryRowPending) {
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 1, "A")));
  Host.Exec(
      QStringLiteral("CREATE OR REPLACE FUNCTION tbcall_refuse() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN RAISE EXCEPTION ''refused at commit''; END'"));
  Host.Exec(
      QStringLiteral("CREATE CONSTRAINT TRIGGER tbcall_at_commit AFTER INSERT ON tbcall "
                     "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION tbcall_refuse()"));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(Store.InsertCall(Call(14, 9, 0, 3, "C")));
  EXPECT_TRUE(Store.LastError().contains(QStringLiteral("refused at commit"))) << Why(Store);
  EXPECT_EQ(Store.PendingCount(), 2);
  EXPECT_EQ(StoredRamas(), (QStringList{"A"}));

  Host.Exec(QStringLiteral("DROP TRIGGER tbcall_at_commit ON tbcall"));
  ASSERT_TRUE(Store.InsertCall(Call(14, 9, 0, 4, "D"))) << Why(Store);
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D"}));
}

TEST(PostgresLogin, AWrongPasswordGivesTheServersText) {
  testsupport::THostDatabase host(TEngine::Postgres, QStringLiteral("store-odbc"));
  TStoreSettings settings = host.Settings(QStringLiteral("wrong-password"));
  settings.Password = QStringLiteral("not-the-password");
  TCallStore store(settings);
  EXPECT_FALSE(store.Connect());
  EXPECT_TRUE(
      store.LastError().contains(QStringLiteral("password authentication failed for user \"logtest\"")))
      << Why(store);
}

// The clock statement follows the server name the driver reports; others get the ODBC escape.
TEST(StoreSettings, ClockStatementFollowsTheDriversServerName) {
  const TStoreSettings s = DefaultStoreSettings();
  EXPECT_EQ(s.DialectFor("Microsoft SQL Server").ClockQuery, "SELECT DATA_ATUA = GETDATE()");
  EXPECT_EQ(s.DialectFor("sqlite").ClockQuery, "SELECT datetime('now', 'localtime') AS data_atua");
  EXPECT_EQ(s.DialectFor("Informix").ClockQuery, "SELECT {fn NOW()} AS data_atua");
}

}  // namespace

// Qt SQL needs an application object. The tests run in a time zone other than the test server's
// (UTC), so a clock read in the server's zone instead of the client's shows.
int main(int argc, char** argv) {
  qputenv("TZ", "America/Sao_Paulo");
  tzset();
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
