// The call store against real engines through their ODBC drivers: one body, run for each engine.
#include "calllistmodel.h"
#include "storesettings.h"
#include "storetestbase.h"

using calls::ccDATA;
using calls::ccDURA;
using calls::ccNUME_DISC;
using calls::ccRAMA;
using calls::ccSENH;
using calls::ccTIPO;
using calls::ccTRON;
using storetest::At;
using storetest::Call;
using storetest::ListColumn;
using testsupport::TEngine;

namespace {

class StoreTest : public ::testing::TestWithParam<TEngine>, protected storetest::TStoreTestBase {
 protected:
  void SetUp() override { Open(GetParam()); }
};

TEST_P(StoreTest, DayListHoldsMidnightAndLaterDaysButNotTheDayBefore) {
  for (const auto& call : {Call(15, 8, 0, 0, "D+1"), Call(13, 23, 59, 59, "D-1"), Call(14, 10, 0, 0, "D10"),
                           Call(14, 0, 0, 0, "D00")}) {
    ASSERT_TRUE(Store->InsertCall(call)) << Store->LastError().toStdString();
  }
  // Until the list is reopened the new rows stay where they were appended.
  EXPECT_EQ(ListColumn(Store->dsCall(), ccRAMA), (QVariantList{"D+1", "D-1", "D10", "D00"}));

  ASSERT_TRUE(Store->OpenDayList(At(14, 0, 0, 0))) << Store->LastError().toStdString();
  EXPECT_EQ(ListColumn(Store->dsCall(), ccRAMA), (QVariantList{"D00", "D10", "D+1"}));
  EXPECT_EQ(ListColumn(Store->dsCall(), ccDATA),
            (QVariantList{At(14, 0, 0, 0), At(14, 10, 0, 0), At(15, 8, 0, 0)}));
}

TEST_P(StoreTest, InsertedCallComesBackWithItsSecondsAndTipoNull) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 12, 34, 56, "205", "99887766")));
  EXPECT_EQ(Store->PendingCount(), 0);
  ASSERT_TRUE(Store->OpenDayList(At(14, 0, 0, 0)));

  const QAbstractItemModel& list = Store->dsCall();
  ASSERT_EQ(list.rowCount(), 1);
  const QVariantList expected{At(14, 12, 34, 56), "205", "99887766", "00:01:05", "07", "4321"};
  for (int column = ccDATA; column <= ccSENH; ++column) {
    EXPECT_EQ(list.data(list.index(0, column)), expected[column]) << "column " << column;
  }
  EXPECT_TRUE(list.data(list.index(0, ccTIPO)).isNull());
  EXPECT_EQ(Host->Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE TIPO IS NULL")), 1);
  EXPECT_EQ(Host->Rows(QStringLiteral("SELECT DATA FROM TBCALL")).front().front().toDateTime(),
            At(14, 12, 34, 56));
}

struct TWidthCase {
  int Column;
  std::string Given;
  QString Listed;
};

TEST_P(StoreTest, ValuesAreCutToTheFieldWidthAndReadWithoutPadding) {
  const std::vector<TWidthCase> cases = {
      {ccRAMA, "123456789", "1234"},
      {ccNUME_DISC, "1234567890123456789012345", "12345678901234567890"},
      {ccDURA, " 00:01:05", " 00:01:05"},
      {ccTRON, " 1", " 1"},
      {ccSENH, "12", "12"},
      {ccRAMA, "", ""},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    calls::TCallRecord call = Call(14, 9, 0, static_cast<int>(i));
    std::string* field = cases[i].Column == ccRAMA        ? &call.RAMA
                         : cases[i].Column == ccNUME_DISC ? &call.NUME_DISC
                         : cases[i].Column == ccDURA      ? &call.DURA
                         : cases[i].Column == ccTRON      ? &call.TRON
                                                          : &call.SENH;
    *field = cases[i].Given;
    ASSERT_TRUE(Store->InsertCall(call)) << Store->LastError().toStdString();
  }
  ASSERT_TRUE(Store->OpenDayList(At(14, 0, 0, 0)));
  const QAbstractItemModel& list = Store->dsCall();
  ASSERT_EQ(list.rowCount(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(list.data(list.index(static_cast<int>(i), cases[i].Column)).toString(), cases[i].Listed)
        << "case " << i;
  }
}

TEST_P(StoreTest, TwoPostsInTwoTicksInsertTwice) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 1, "201")));
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 2, "202")));
  EXPECT_EQ(StoredRamas(), (QStringList{"201", "202"}));
}

TEST_P(StoreTest, StampSetsEveryRowOfTbpara) {
  Host->Exec(QStringLiteral("INSERT INTO TBPARA (HORA_ULTI_TRAN_FONE) VALUES (NULL)"));
  ASSERT_TRUE(Store->StampLastTransmission(At(14, 17, 45, 7))) << Store->LastError().toStdString();
  const auto rows = Host->Rows(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA"));
  ASSERT_EQ(rows.size(), 2u);
  for (const QVariantList& row : rows) EXPECT_EQ(row.front().toDateTime(), At(14, 17, 45, 7));
}

TEST_P(StoreTest, ServerClockGivesDateAndTimeForSAndMidnightOtherwise) {
  const QDateTime before = QDateTime::currentDateTime();
  const std::optional<QDateTime> now = Store->fcDataAtual(QStringLiteral("S"));
  ASSERT_TRUE(now.has_value()) << Store->LastError().toStdString();
  // The clock is the server's, read in the client's zone: it must agree with ours to the minute.
  EXPECT_LE(std::abs(before.secsTo(*now)), 60) << now->toString(Qt::ISODate).toStdString();

  for (const QString& flag : {QStringLiteral("N"), QStringLiteral(""), QStringLiteral("s")}) {
    const std::optional<QDateTime> day = Store->fcDataAtual(flag);
    ASSERT_TRUE(day.has_value()) << Store->LastError().toStdString();
    EXPECT_EQ(day->time(), QTime(0, 0));
    EXPECT_LE(std::abs(day->date().daysTo(now->date())), 1);
  }
}

TEST_P(StoreTest, QuotesAndAccentsAreStoredVerbatim) {
  const std::string number = "d'Ávila\"; --ção";
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 0, "'O'", number))) << Store->LastError().toStdString();
  const auto rows = Host->Rows(QStringLiteral("SELECT RAMA, NUME_DISC FROM TBCALL"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.front()[0].toString().trimmed(), QStringLiteral("'O'"));
  EXPECT_EQ(rows.front()[1].toString().trimmed(), QString::fromStdString(number));
}

TEST_P(StoreTest, FailedInsertIsRetriedAtTheNextApplyExactlyOnce) {
  Host->BreakInserts();
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 1, "A")));
  EXPECT_FALSE(Store->InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(Store->LastError().isEmpty());
  EXPECT_EQ(Store->PendingCount(), 2);
  EXPECT_EQ(StoredCount(), 0);

  Host->MendInserts();
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 3, "C"))) << Store->LastError().toStdString();
  EXPECT_EQ(Store->PendingCount(), 0);
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 4, "D")));
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C", "D"}));
}

TEST_P(StoreTest, PendingRowsAreStillListedAfterReopening) {
  ASSERT_TRUE(Store->InsertCall(Call(14, 8, 0, 0, "S1")));
  Host->BreakInserts();
  EXPECT_FALSE(Store->InsertCall(Call(13, 9, 0, 0, "P1")));  // of the day before: listed all the same
  ASSERT_TRUE(Store->OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(ListColumn(Store->dsCall(), ccRAMA), (QVariantList{"S1", "P1"}));

  Host->MendInserts();
  ASSERT_TRUE(Store->InsertCall(Call(14, 9, 0, 0, "S2")));
  EXPECT_EQ(StoredRamas(), (QStringList{"P1", "S1", "S2"}));
  EXPECT_EQ(ListColumn(Store->dsCall(), ccRAMA), (QVariantList{"S1", "P1", "S2"}));
}

TEST_P(StoreTest, BeyondThePendingLimitNewCallsAreRefusedAndOlderOnesKept) {
  calls::TStoreSettings settings = Host->Settings(QStringLiteral("limited"));
  settings.PendingLimit = 2;
  calls::TCallStore limited(settings);
  ASSERT_TRUE(limited.Connect());
  Host->BreakInserts();
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 1, "A")));
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 2, "B")));
  EXPECT_FALSE(limited.InsertCall(Call(14, 9, 0, 3, "X")));
  EXPECT_TRUE(limited.LastError().startsWith(QStringLiteral("Chamada recusada: 2 chamadas")))
      << limited.LastError().toStdString();
  EXPECT_EQ(limited.PendingCount(), 2);
  EXPECT_EQ(ListColumn(limited.dsCall(), ccRAMA), (QVariantList{"A", "B"}));

  Host->MendInserts();
  ASSERT_TRUE(limited.InsertCall(Call(14, 9, 0, 4, "C")));
  EXPECT_EQ(StoredRamas(), (QStringList{"A", "B", "C"}));
}

TEST_P(StoreTest, InsertDoesNotNeedTheListOrAnEarlierConnect) {
  calls::TCallStore unconnected(Host->Settings(QStringLiteral("unconnected")));
  ASSERT_TRUE(unconnected.InsertCall(Call(14, 9, 0, 1))) << unconnected.LastError().toStdString();
  EXPECT_EQ(unconnected.dsCall().rowCount(), 1);
  EXPECT_EQ(StoredCount(), 1);
}

TEST_P(StoreTest, ConnectToAnUnknownSourceGivesTheDriversText) {
  calls::TStoreSettings settings = Host->Settings(QStringLiteral("unknown"));
  settings.AliasName = QStringLiteral("alNaoExiste");
  calls::TCallStore store(settings);
  EXPECT_FALSE(store.Connect());
  EXPECT_TRUE(store.LastError().contains(QStringLiteral("Data source name not found")))
      << store.LastError().toStdString();
  // Without a server nothing is stored, and nothing is lost either.
  EXPECT_FALSE(store.InsertCall(Call(14, 9, 0, 1)));
  EXPECT_EQ(store.PendingCount(), 1);
  EXPECT_FALSE(store.OpenDayList(At(14, 0, 0, 0)));
  EXPECT_EQ(store.dsCall().rowCount(), 1);
}

auto EngineParamName = [](const ::testing::TestParamInfo<TEngine>& info) {
  return storetest::EngineName(info.param).toStdString();
};

INSTANTIATE_TEST_SUITE_P(Sqlite, StoreTest, ::testing::Values(TEngine::Sqlite), EngineParamName);
INSTANTIATE_TEST_SUITE_P(Postgres, StoreTest, ::testing::Values(TEngine::Postgres), EngineParamName);

}  // namespace
