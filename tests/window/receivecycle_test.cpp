// The receive cycle end to end: bytes on a real pseudo-terminal, calls in a real database.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "calllistmodel.h"
#include "callstore.h"
#include "hostdatabase.h"
#include "pgcluster.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"
#include "watchedline.h"

namespace window {
namespace {

using namespace std::string_literals;
using testsupport::TEngine;

const QDateTime Morning(QDate(2026, 12, 9), QTime(10, 20, 0));

// The log panel as a list of lines.
struct TRecordingLog : TLogSink {
  void AppendLine(const QString& line) override { Lines.append(line); }
  void Clear() override {
    Lines.clear();
    ++Clears;
  }
  QStringList Lines;
  int Clears = 0;
};

// The cycle wired to real parts: COM1's far end written as the exchange would, the serial port
// component on COM1, a call store over a fresh host database, and a clock the test sets.
class TCycleRig {
 public:
  TCycleRig(TEngine engine, const QDateTime& now) : Now(now), Db(engine, OdbcFolder()), Store(Db.Settings()) {
    if (!Store.Connect()) throw std::runtime_error("store: " + Store.LastError().toStdString());
    auto watch = std::make_unique<TReadWatch>(serial::MakeSystemCommLayer());
    TReadWatch& watched = *watch;
    Port = std::make_unique<serial::TSerialPort>(std::move(watch));
    Port->SetCommPort(serial::TCommPort::cpCOM1);
    Cycle = std::make_unique<TReceiveCycle>(*Port, watched, Store, Log, [this] { return Now; });
    Port->AfterReceive = [this](serial::TSerialPort&, const std::string& data) {
      Cycle->SPAfterReceive(data);
    };
    if (!Port->OpenPort()) throw std::runtime_error("cannot open COM1");
    // What the window does when it is shown.
    Cycle->SetDataAtual(Now.date().startOfDay());
    if (!Store.OpenDayList(Cycle->FDataAtual())) throw std::runtime_error("cannot open the day's list");
  }

  void Send(const std::string& bytes) { ASSERT_TRUE(Line.Send(bytes)) << "bytes never reached the port"; }
  void Tick() {
    Cycle->TimerTimer();
    Line.Drained();
  }

  // TBCALL as "RAMA|NUME_DISC|yyyy-MM-dd hh:mm:ss", ordered by DATA.
  QStringList StoredCalls() {
    QStringList calls;
    for (const QVariantList& row :
         Db.Rows(QStringLiteral("SELECT RAMA, NUME_DISC, DATA FROM TBCALL ORDER BY DATA"))) {
      calls.append(row[0].toString().trimmed() + QLatin1Char('|') + row[1].toString().trimmed() +
                   QLatin1Char('|') + row[2].toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    }
    return calls;
  }
  std::optional<QDateTime> Stamp() {
    const QVariant stamp = Db.Rows(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA")).at(0).at(0);
    return stamp.isNull() ? std::nullopt : std::optional(stamp.toDateTime());
  }
  // RAMA of the rows the day list shows.
  QStringList ListedExtensions() {
    QAbstractItemModel& list = Store.dsCall();
    QStringList extensions;
    for (int row = 0; row < list.rowCount(); ++row)
      extensions.append(list.data(list.index(row, calls::ccRAMA)).toString().trimmed());
    return extensions;
  }

  QDateTime Now;
  TRecordingLog Log;
  testsupport::THostDatabase Db;
  calls::TCallStore Store;
  TWatchedLine Line;
  std::unique_ptr<serial::TSerialPort> Port;
  std::unique_ptr<TReceiveCycle> Cycle;

 private:
  // unixODBC reads its configuration folder once per process, so every rig of a process shares one.
  static QString OdbcFolder() {
    static const QTemporaryDir folder;
    return folder.path();
  }
};

class ReceiveCycleTest : public testing::TestWithParam<TEngine> {
 protected:
  TCycleRig Rig{GetParam(), Morning};
};

// Zero bytes before and between the lines lose nothing else.
TEST_P(ReceiveCycleTest, BurstOfFiftyLinesWithZeroBytesInOneTickStoresAndLogsEachOnce) {
  std::string burst;
  for (int i = 0; i < 50; ++i) {
    burst += std::string(i % 3, '\0') +
             CallLine(QStringLiteral("09/12/2610:15:%1").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
                      QStringLiteral("2%1").arg(i, 2, 10, QLatin1Char('0')).toStdString(), "0113456789") +
             "\r\n";
  }
  Rig.Send(burst);
  Rig.Tick();
  Rig.Tick();  // the port's text of the first tick is not handed on again

  const QStringList stored = Rig.StoredCalls();
  ASSERT_EQ(stored.size(), 50);
  EXPECT_EQ(stored.front(), "200|0113456789|2026-12-09 10:15:00");
  EXPECT_EQ(stored.back(), "249|0113456789|2026-12-09 10:15:49");
  EXPECT_EQ(Rig.Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 50);
  ASSERT_EQ(Rig.Log.Lines.size(), 50);
  EXPECT_EQ(Rig.Log.Lines.back(),
            "09/12/2610:15:49  01 249      00:01:230113456789                           ");
  EXPECT_EQ(Rig.ListedExtensions().size(), 50);
}

// An 80-column line is logged without its personal code, as 76 characters.
TEST_P(ReceiveCycleTest, LineSplitAcrossTwoTicksIsStoredOnceWholeAndLoggedWithoutItsCode) {
  const std::string line = CallLine("09/12/2610:15:30", "201", "0113456789", "4321") + "\r\n";
  Rig.Send(line.substr(0, 30));
  Rig.Tick();
  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  EXPECT_TRUE(Rig.Log.Lines.isEmpty());
  Rig.Send(line.substr(30));
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(), QStringList{"201|0113456789|2026-12-09 10:15:30"});
  EXPECT_EQ(Rig.Db.Rows(QStringLiteral("SELECT SENH FROM TBCALL")).at(0).at(0).toString().trimmed(), "4321");
  EXPECT_EQ(Rig.Log.Lines,
            QStringList{"09/12/2610:15:30  01 201      00:01:230113456789                            "});
  EXPECT_EQ(Rig.Log.Lines[0].size(), 76);
}

// The log shows it as Unicode.
TEST_P(ReceiveCycleTest, GarbageLineIsLoggedAndStampedButNotStored) {
  Rig.Now = QDateTime(QDate(2026, 12, 9), QTime(10, 21, 7));
  Rig.Send("+++ ATH0 Liga\xE7\xE3o recusada\r\n");
  Rig.Tick();

  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  EXPECT_EQ(Rig.Log.Lines, QStringList{QStringLiteral(u"+++ ATH0 Ligação recusada")});
  EXPECT_EQ(Rig.Stamp(), QDateTime(QDate(2026, 12, 9), QTime(10, 21, 7)));
}

// A line without an end is taken at the first tick that brings nothing; later quiet ticks change
// nothing but check the day.
TEST_P(ReceiveCycleTest, TicksWithoutBytesTakeAnUnendedLineAndThenChangeNothing) {
  Rig.Send(CallLine("09/12/2610:15:30", "201", "0113456789"));
  Rig.Tick();
  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  Rig.Tick();
  EXPECT_EQ(Rig.StoredCalls(), QStringList{"201|0113456789|2026-12-09 10:15:30"});
  const std::optional<QDateTime> stamp = Rig.Stamp();
  ASSERT_TRUE(stamp);

  Rig.Now = Rig.Now.addSecs(1);
  Rig.Tick();
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls().size(), 1);
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  EXPECT_EQ(Rig.Log.Clears, 0);
  EXPECT_EQ(Rig.Stamp(), stamp);
}

TEST_P(ReceiveCycleTest, LineCutByReconnectingIsNotJoinedToTheNextLine) {
  Rig.Send("09/12/2610:1");
  Rig.Tick();
  ASSERT_TRUE(Rig.Port->ClosePort());
  ASSERT_TRUE(Rig.Port->OpenPort());
  Rig.Send(CallLine("09/12/2610:15:40", "202", "222") + "\r\n");
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(), QStringList{"202|222|2026-12-09 10:15:40"});
  ASSERT_EQ(Rig.Log.Lines.size(), 2);
  EXPECT_EQ(Rig.Log.Lines[0], "09/12/2610:1");
}

TEST_P(ReceiveCycleTest, RefusedInsertIsKeptAndStoredAtTheNextTick) {
  Rig.Db.BreakInserts();
  Rig.Send(CallLine("09/12/2610:15:30", "201", "111") + "\r\n");
  Rig.Tick();
  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  EXPECT_TRUE(Rig.Stamp());

  // Stored at the next tick even when no other call comes to carry it.
  Rig.Db.MendInserts();
  Rig.Tick();
  EXPECT_EQ(Rig.StoredCalls(), (QStringList{"201|111|2026-12-09 10:15:30"}));

  Rig.Send(CallLine("09/12/2610:15:40", "202", "222") + "\r\n");
  Rig.Tick();
  EXPECT_EQ(Rig.StoredCalls(), (QStringList{"201|111|2026-12-09 10:15:30", "202|222|2026-12-09 10:15:40"}));
}

TEST_P(ReceiveCycleTest, FirstCallAfterMidnightIsStoredAndTheDayTurnsInTheSameTick) {
  Rig.Now = QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59));
  Rig.Send(CallLine("09/12/2623:59:58", "201", "111") + "\r\n");
  Rig.Tick();
  EXPECT_EQ(Rig.ListedExtensions(), QStringList{"201"});

  Rig.Now = QDateTime(QDate(2026, 12, 10), QTime(0, 0, 2));
  Rig.Send(CallLine("10/12/2600:00:01", "202", "222") + "\r\n");
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(), (QStringList{"201|111|2026-12-09 23:59:58", "202|222|2026-12-10 00:00:01"}));
  EXPECT_EQ(Rig.Cycle->FDataAtual(), QDateTime(QDate(2026, 12, 10), QTime(0, 0)));
  EXPECT_EQ(Rig.ListedExtensions(), QStringList{"202"});
  EXPECT_EQ(Rig.Log.Clears, 1);
  EXPECT_TRUE(Rig.Log.Lines.isEmpty());
}

TEST_P(ReceiveCycleTest, ListOpenedForTheLocalDayWhenTheWindowHadNone) {
  Rig.Cycle->SetDataAtual(QDateTime());
  Rig.Tick();

  EXPECT_EQ(Rig.Cycle->FDataAtual(), QDateTime(QDate(2026, 12, 9), QTime(0, 0)));
  EXPECT_EQ(Rig.Log.Clears, 1);
}

// The server goes away while calls arrive: nothing is lost, nothing stored twice.
class ReceiveCycleOutageTest : public testing::Test {
 protected:
  testsupport::TPostgresCluster Cluster = testsupport::TPostgresCluster::FromEnvironment();
  TCycleRig Rig{TEngine::Postgres, Morning};
  // A failed test must not leave the server down for the next.
  void TearDown() override { Cluster.Start(); }
};

TEST_F(ReceiveCycleOutageTest, CallsDuringAnOutageAreStoredOnceWhenTheServerIsBack) {
  Rig.Send(CallLine("09/12/2610:15:00", "201", "111") + "\r\n");
  Rig.Tick();
  Cluster.Stop();
  for (const char* extension : {"202", "203", "204"}) {
    Rig.Now = Rig.Now.addSecs(1);
    Rig.Send(CallLine("09/12/2610:15:0" + std::string(1, extension[2]), extension, "222") + "\r\n");
    Rig.Tick();
  }
  EXPECT_EQ(Rig.Store.PendingCount(), 3);
  EXPECT_EQ(Rig.Log.Lines.size(), 4);
  EXPECT_EQ(Rig.ListedExtensions(), (QStringList{"201", "202", "203", "204"}));

  Cluster.Start();
  Rig.Now = QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0));
  Rig.Tick();
  EXPECT_EQ(Rig.Stamp(), QDateTime(QDate(2026, 12, 9), QTime(10, 20, 3)));
  Rig.Send(CallLine("09/12/2610:15:05", "205", "555") + "\r\n");
  Rig.Tick();
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(), (QStringList{"201|111|2026-12-09 10:15:00", "202|222|2026-12-09 10:15:02",
                                            "203|222|2026-12-09 10:15:03", "204|222|2026-12-09 10:15:04",
                                            "205|555|2026-12-09 10:15:05"}));
  EXPECT_EQ(Rig.Store.PendingCount(), 0);
}

TEST_F(ReceiveCycleOutageTest, ReopenAtTheChangeOfDayIsRetriedUntilTheServerIsBack) {
  Cluster.Stop();
  Rig.Now = QDateTime(QDate(2026, 12, 10), QTime(0, 0, 2));
  Rig.Send(CallLine("10/12/2600:00:01", "202", "222") + "\r\n");
  Rig.Tick();
  Rig.Tick();
  EXPECT_EQ(Rig.Cycle->FDataAtual(), QDateTime(QDate(2026, 12, 10), QTime(0, 0)));
  EXPECT_EQ(Rig.ListedExtensions(), QStringList{"202"});

  Cluster.Start();
  // Written by the host system meanwhile: only a list read again from the server shows it.
  Rig.Db.Exec(QStringLiteral("INSERT INTO TBCALL (RAMA, DATA) VALUES ('300', '2026-12-10 00:00:30')"));
  Rig.Tick();

  // The held-back call is stored in the same tick, before the list is read again in date order.
  EXPECT_EQ(Rig.Store.PendingCount(), 0);
  EXPECT_EQ(Rig.ListedExtensions(), (QStringList{"202", "300"}));
  EXPECT_EQ(Rig.Log.Clears, 1);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, ReceiveCycleTest, testing::Values(TEngine::Sqlite));
INSTANTIATE_TEST_SUITE_P(Postgres, ReceiveCycleTest, testing::Values(TEngine::Postgres));

}  // namespace
}  // namespace window

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
