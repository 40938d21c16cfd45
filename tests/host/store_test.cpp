// The call store against real engines through their ODBC drivers: one body run for each engine, then
// the PostgreSQL server going away and coming back (the shared cluster is stopped and started),
// refusing a commit or a login, or losing the connection around COMMIT.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ctime>

#include "calllistmodel.h"
#include "callrow.h"
#include "callstore.h"
#include "hostdatabase.h"
#include "pgcluster.h"
#include "rowdetail.h"
#include "storesettings.h"

using namespace calls;
using testsupport::TEngine;

namespace {

TCallRecord Record(int day, int hour, int minute, int second, std::string rama = "201",
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

TCallRow Call(int day, int hour, int minute, int second, std::string rama = "201",
              std::string numeDisc = "0215551234") {
  return CallRowFrom(Record(day, hour, minute, second, std::move(rama), std::move(numeDisc)));
}

constexpr TInsertOutcome Stored = TInsertOutcome::ioStored;
constexpr TInsertOutcome Refused = TInsertOutcome::ioRefused;
constexpr TInsertOutcome Unknown = TInsertOutcome::ioUnknown;

QDateTime At(int day, int hour, int minute, int second) {
  return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

// One column of the day's list as the grid would show it.
QVariantList ListColumn(TCallStore& store, const QDateTime& day, int column = ccRAMA) {
  TRowBlocks rows;
  EXPECT_TRUE(store.ReadDay(day, rows)) << store.LastError().toStdString();
  TCallListModel model;
  model.Reset(std::move(rows));
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
  const TCallRow calls[] = {Call(15, 8, 0, 0, "D+1"), Call(13, 23, 59, 59, "D-1"), Call(14, 10, 0, 0, "D10"),
                            Call(14, 0, 0, 0, "D00")};
  ASSERT_EQ(Store.InsertCalls({&calls[0], &calls[1], &calls[2], &calls[3]}), Stored) << Why(Store);
  EXPECT_EQ(ListColumn(Store, At(14, 0, 0, 0)), (QVariantList{"D00", "D10", "D+1"}));
  EXPECT_EQ(ListColumn(Store, At(14, 0, 0, 0), ccDATA),
            (QVariantList{At(14, 0, 0, 0), At(14, 10, 0, 0), At(15, 8, 0, 0)}));
}

// Each call comes back with its seconds and TIPO null.
TEST_P(StoreTest, CallsComeBackWithTheirSecondsAndTipoNull) {
  ASSERT_EQ(Store.InsertCall(Call(14, 12, 34, 56, "205", "99887766")), Stored) << Why(Store);
  ASSERT_EQ(Store.InsertCall(Call(14, 12, 34, 57, "206")), Stored);
  EXPECT_EQ(StoredRamas(), (QStringList{"205", "206"}));

  TRowBlocks rows;
  ASSERT_TRUE(Store.ReadDay(At(14, 0, 0, 0), rows));
  TCallListModel list;
  list.Reset(std::move(rows));
  ASSERT_EQ(list.rowCount(), 2);
  const QVariantList expected{At(14, 12, 34, 56), "205", "99887766", "00:01:05", "07", "4321"};
  for (int column = ccDATA; column <= ccSENH; ++column) {
    EXPECT_EQ(list.data(list.index(0, column)), expected[column]) << "column " << column;
  }
  EXPECT_TRUE(list.data(list.index(0, ccTIPO)).isNull());
  EXPECT_EQ(Host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE TIPO IS NULL")), 2);
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
    TCallRecord call = Record(14, 9, 0, second++);
    call.*c.Field = c.Given;
    ASSERT_EQ(Store.InsertCall(CallRowFrom(call)), Stored) << Why(Store);
  }
  int row = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(ListColumn(Store, At(14, 0, 0, 0), c.Column).at(row).toString(), c.Listed) << "case " << row;
    ++row;
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
  ASSERT_EQ(Store.InsertCall(Call(14, 9, 0, 0, "'O'", number)), Stored) << Why(Store);
  const auto rows = Host.Rows(QStringLiteral("SELECT RAMA, NUME_DISC FROM TBCALL"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.front()[0].toString().trimmed(), QStringLiteral("'O'"));
  EXPECT_EQ(rows.front()[1].toString().trimmed(), QString::fromStdString(number));
}

// A refused batch stores none of its calls.
TEST_P(StoreTest, ARefusedRowRefusesItsBatchAndOnlyItself) {
  Host.BreakInserts(QStringLiteral("BAD"));
  const TCallRow good = Call(14, 9, 0, 1, "A");
  const TCallRow bad = Call(14, 9, 0, 2, "BAD");
  EXPECT_EQ(Store.InsertCalls({&good, &bad}), Refused);
  EXPECT_FALSE(Store.LastError().isEmpty());
  EXPECT_TRUE(Store.IsConnected());
  EXPECT_EQ(Store.InsertCall(bad), Refused);
  EXPECT_EQ(Store.InsertCall(good), Stored) << Why(Store);
  EXPECT_EQ(StoredRamas(), (QStringList{"A"}));
}

// Equal on the six columns, trailing blanks aside: what a lost commit is settled by.
TEST_P(StoreTest, CountStoredMatchesAllSixColumns) {
  TCallRecord padded = Record(14, 9, 0, 1, "7", "555");
  padded.DURA = " 00:01:05 ";
  padded.SENH = "";
  const TCallRow call = CallRowFrom(padded);
  ASSERT_EQ(Store.InsertCall(call), Stored) << Why(Store);
  ASSERT_EQ(Store.InsertCall(call), Stored);
  EXPECT_EQ(Store.CountStored(call), 2) << Why(Store);
  for (auto other : {Record(14, 9, 0, 2, "7", "555"), Record(14, 9, 0, 1, "8", "555"),
                     Record(14, 9, 0, 1, "7", "5556")}) {
    other.DURA = padded.DURA;
    other.SENH = padded.SENH;
    EXPECT_EQ(Store.CountStored(CallRowFrom(other)), 0);
  }
}

TEST_P(StoreTest, InsertDoesNotNeedAnEarlierConnect) {
  TCallStore unconnected(Host.Settings(QStringLiteral("unconnected")));
  ASSERT_EQ(unconnected.InsertCall(Call(14, 9, 0, 1)), Stored) << Why(unconnected);
  EXPECT_EQ(StoredRamas().size(), 1);
}

TEST_P(StoreTest, ConnectToAnUnknownSourceGivesTheDriversText) {
  TStoreSettings settings = Host.Settings(QStringLiteral("unknown"));
  settings.AliasName = QStringLiteral("alNaoExiste");
  TCallStore store(settings);
  EXPECT_FALSE(store.Connect());
  EXPECT_TRUE(store.LastError().contains(QStringLiteral("Data source name not found"))) << Why(store);
  EXPECT_EQ(store.InsertCall(Call(14, 9, 0, 1)), Unknown);
  EXPECT_FALSE(store.IsConnected());
}

// The connection lost around COMMIT: after the server stored the calls, or before the commit reached
// it. Either way the outcome is unknown to the client and the connection is made again.
TEST_P(StoreTest, ALostCommitIsReportedUnknownWhateverTheServerDid) {
  const struct {
    TCommitFault Fault;
    int Stored;
  } cases[] = {{TCommitFault::cfLostAfterCommit, 1}, {TCommitFault::cfLostBeforeCommit, 0}};
  int second = 0;
  for (const auto& c : cases) {
    const TCallRow call = Call(14, 9, 0, ++second);
    Store.InjectCommitFault(c.Fault);
    EXPECT_EQ(Store.InsertCalls({&call}), Unknown);
    EXPECT_FALSE(Store.IsConnected());
    EXPECT_EQ(Store.CountStored(call), c.Stored) << Why(Store);
    EXPECT_TRUE(Store.IsConnected());
  }
}

// São Paulo skipped from 00:00 to 01:00 on 2018-11-04 and repeated 23:00-00:00 on 2019-02-16 (the
// tests run in that zone): the exchange's clock does not follow, and such a call is stored, listed
// and looked up with the date and time it printed.
TEST_P(StoreTest, ACallInASkippedOrRepeatedHourIsStoredAndFoundAsWritten) {
  const struct {
    TLocalDateTime When;
    QString Stored;
  } cases[] = {{{2018, 11, 4, 0, 30, 0}, "2018-11-04 00:30:00"},
               {{2019, 2, 16, 23, 30, 0}, "2019-02-16 23:30:00"}};
  for (const auto& c : cases) {
    TCallRecord record = Record(1, 0, 0, 0);
    record.DATA = c.When;
    const TCallRow call = CallRowFrom(record);
    ASSERT_EQ(Store.InsertCalls({&call}), Stored) << Why(Store);
    const auto rows = Host.Rows(QStringLiteral("SELECT CAST(DATA AS VARCHAR(30)) FROM TBCALL"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0][0].toString().startsWith(c.Stored)) << rows[0][0].toString().toStdString();
    EXPECT_EQ(Store.CountStored(call), 1) << Why(Store);
    // The day as the window holds it, which for the skipped midnight is the date's first hour.
    TRowBlocks listed;
    ASSERT_TRUE(Store.ReadDay(QDate(c.When.Year, c.When.Month, c.When.Day).startOfDay(), listed))
        << Why(Store);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].DATA.AsWritten(), call.DATA.AsWritten());
    Host.Exec(QStringLiteral("DELETE FROM TBCALL"));
  }
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

TEST_F(PostgresServer, StoppedAndRestartedTheConnectionIsMadeAgain) {
  ASSERT_EQ(Store.InsertCall(Call(14, 9, 0, 1, "A")), Stored);
  // A restart while idle costs no call: the lost connection is made again.
  Cluster.Stop();
  Cluster.Start();
  EXPECT_EQ(Store.InsertCall(Call(14, 9, 0, 2, "B")), Unknown);  // the statement finds it gone
  EXPECT_EQ(Store.InsertCall(Call(14, 9, 0, 2, "B")), Stored) << Why(Store);
  EXPECT_TRUE(Store.StampLastTransmission(At(14, 9, 0, 2))) << Why(Store);

  Cluster.Stop();
  EXPECT_EQ(Store.InsertCall(Call(14, 9, 0, 3, "C")), Unknown);
  EXPECT_FALSE(Store.StampLastTransmission(At(14, 9, 0, 3)));
  EXPECT_FALSE(Store.fcDataAtual(QStringLiteral("N")).has_value());
  TRowBlocks rows;
  EXPECT_FALSE(Store.ReadDay(At(14, 0, 0, 0), rows));
  EXPECT_FALSE(Store.IsConnected());

  Cluster.Start();
  EXPECT_EQ(Store.InsertCall(Call(14, 9, 0, 5, "E")), Stored) << Why(Store);
  EXPECT_TRUE(Store.StampLastTransmission(At(14, 9, 0, 5)));
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "E"}));
}

// A deferred constraint trigger lets every insert through and fails the commit.
TEST_F(PostgresServer, ACommitTheServerRefusesIsRefusedNotUnknown) {
  Host.Exec(
      QStringLiteral("CREATE OR REPLACE FUNCTION tbcall_refuse() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN RAISE EXCEPTION ''refused at commit''; END'"));
  Host.Exec(
      QStringLiteral("CREATE CONSTRAINT TRIGGER tbcall_at_commit AFTER INSERT ON tbcall "
                     "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION tbcall_refuse()"));
  const TCallRow b = Call(14, 9, 0, 2, "B");
  const TCallRow c = Call(14, 9, 0, 3, "C");
  EXPECT_EQ(Store.InsertCalls({&b, &c}), Refused);
  EXPECT_TRUE(Store.LastError().contains(QStringLiteral("refused at commit"))) << Why(Store);
  Host.Exec(QStringLiteral("DROP TRIGGER tbcall_at_commit ON tbcall"));
  EXPECT_EQ(Store.InsertCalls({&b, &c}), Stored) << Why(Store);
  EXPECT_EQ(StoredRamas(), (QStringList{"B", "C"}));
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

// Drivers quote the row they refused; what reaches the operator keeps the reason, not the code.
TEST(RowDetail, ThePersonalCodeNeverLeavesTheRow) {
  const struct {
    const char* Text;
    std::vector<QString> Codes;
    const char* Kept;
  } cases[] = {
      // psqlODBC's refusal of a CHECK constraint: the whole row after DETAIL, the code among it.
      {"ERROR: new row for relation \"tbcall\" violates check constraint \"tbcall_block\"\n"
       "DETAIL: Failing row contains (201 , 07 , 00:01:05, 4321      , null, 2026-03-14 09:00:01, "
       "0215551234).;\n"
       "Error while executing the query",
       {"4321"},
       "ERROR: new row for relation \"tbcall\" violates check constraint \"tbcall_block\"\nDETAIL: ****\n"
       "Error while executing the query"},
      // A key quoted in the message itself (SQL Server), the code padded as the column holds it.
      {"Cannot insert duplicate key in object 'dbo.TBCALL'. The duplicate key value is (201, 4321).",
       {"4321  "},
       "Cannot insert duplicate key in object 'dbo.TBCALL'. The duplicate key value is (201, ****)."},
      // Only the code as a word of its own: the same digits inside a number or a date stay.
      {"trigger refused 43210 and 14321 at 2026-03-14 for 4321",
       {"4321"},
       "trigger refused 43210 and 14321 at 2026-03-14 for ****"},
      // A blank code masks nothing.
      {"no such table: TBCALL", {"    ", ""}, "no such table: TBCALL"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithoutPersonalCode(QString::fromUtf8(c.Text), c.Codes), QString::fromUtf8(c.Kept)) << c.Text;
  }
}

}  // namespace

// Qt SQL needs an application object. The tests run in a time zone other than the test server's
// (UTC), so a clock read in the server's zone instead of the client's shows, and one that skips and
// repeats an hour a year.
int main(int argc, char** argv) {
  qputenv("TZ", "America/Sao_Paulo");
  tzset();
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
