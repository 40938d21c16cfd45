// The receive cycle end to end: bytes on a real pseudo-terminal, calls in a real database.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <mutex>
#include <thread>

#include "calllistmodel.h"
#include "hostdatabase.h"
#include "hostworker.h"
#include "journal.h"
#include "pgcluster.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"
#include "watchedline.h"

namespace capture {
namespace {

using namespace std::string_literals;
using testsupport::CallLine;
using testsupport::TEngine;
using testsupport::TWatchedLine;
using service::FollowDeliveries;
using service::THostWorker;

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
// component on COM1, a journal in a fresh folder, the database worker on its own thread over a fresh
// host database, and a clock the test sets.
class TCycleRig {
 public:
  TCycleRig(TEngine engine, const QDateTime& now) : FNow(now), Db(engine, OdbcFolder()) {
    if (!Journal.Open(JournalPath())) throw std::runtime_error("journal: " + Journal.LastError().toStdString());
    Host = std::make_unique<THostWorker>(Db.Settings(), JournalPath(), [this] { return Now(); });
    auto watch = std::make_unique<TReadWatch>(serial::MakeSystemCommLayer());
    TReadWatch& watched = *watch;
    FWatch = &watched;
    Port = std::make_unique<serial::TSerialPort>(std::move(watch));
    Port->SetCommPort(serial::TCommPort::cpCOM1);
    Cycle = std::make_unique<TReceiveCycle>(*Port, watched, Journal, List, *Host, Log, [this] { return Now(); });
    FollowDeliveries(Host->Worker(), List, *Cycle, Context);
    Port->AfterReceive = [this](serial::TSerialPort&, const std::string& data) { Cycle->SPAfterReceive(data); };
    if (!Port->OpenPort()) throw std::runtime_error("cannot open COM1");
    // What the window does when it is shown.
    Cycle->SetDataAtual(now.date().startOfDay());
    Host->OpenDay(Cycle->FDataAtual());
  }
  ~TCycleRig() { Host->Stop(std::chrono::seconds(30)); }

  TReadWatch& Watch() const { return *FWatch; }

  // The clock is read on the worker's thread too.
  QDateTime Now() const {
    std::lock_guard lock(FNowLock);
    return FNow;
  }
  void SetNow(const QDateTime& now) {
    std::lock_guard lock(FNowLock);
    FNow = now;
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
  // The worker stores on its own thread: wait until TBCALL holds this many calls (or give up after a
  // while, which the test's expectation then reports).
  QStringList StoredCalls(int expected) {
    WaitUntil([&] { return Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")) >= expected; });
    return StoredCalls();
  }
  std::optional<QDateTime> Stamp() {
    const QVariant stamp = Db.Rows(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA")).at(0).at(0);
    return stamp.isNull() ? std::nullopt : std::optional(stamp.toDateTime());
  }
  // RAMA of the rows the day list shows, "*" after those still waiting.
  QStringList ListedExtensions() {
    QStringList extensions;
    for (int row = 0; row < List.rowCount(); ++row) {
      extensions.append(List.data(List.index(row, calls::ccRAMA)).toString().trimmed() +
                        (List.data(List.index(row, 0), calls::WaitingRole).toBool() ? "*" : ""));
    }
    return extensions;
  }
  // Lets the worker's answers reach this thread until the condition holds (at most 20 s).
  static bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
      QCoreApplication::processEvents();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  static QString JournalPath() { return OdbcFolder() + QStringLiteral("/journal.sqlite"); }

 private:
  QDateTime FNow;
  mutable std::mutex FNowLock;
  TReadWatch* FWatch = nullptr;  // the port's

 public:
  TRecordingLog Log;
  testsupport::THostDatabase Db;
  calls::TJournal Journal{QStringLiteral("journal-ui")};
  calls::TCallListModel List;
  std::unique_ptr<THostWorker> Host;
  QObject Context;
  TWatchedLine Line;
  std::unique_ptr<serial::TSerialPort> Port;
  std::unique_ptr<TReceiveCycle> Cycle;

 private:
  // unixODBC reads its configuration folder once per process, so every rig of a process shares one;
  // each rig starts a fresh journal in it.
  static QString OdbcFolder() {
    static const QTemporaryDir folder;
    return folder.path();
  }
  const bool FFreshJournal = [] {
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(JournalPath() + QLatin1String(suffix));
    return true;
  }();
};

class ReceiveCycleTest : public testing::TestWithParam<TEngine> {
 protected:
  TCycleRig Rig{GetParam(), Morning};
};

std::string CallAt(int second, const std::string& extension, const std::string& number = "0113456789") {
  return CallLine(QStringLiteral("09/12/2610:15:%1").arg(second, 2, 10, QLatin1Char('0')).toStdString(), extension,
                  number) +
         "\r\n";
}

// Zero bytes before and between the lines lose nothing else.
TEST_P(ReceiveCycleTest, BurstOfFiftyLinesWithZeroBytesInOneTickStoresAndLogsEachOnce) {
  std::string burst;
  for (int i = 0; i < 50; ++i) {
    burst += std::string(i % 3, '\0') + CallAt(i, QStringLiteral("2%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
  }
  Rig.Send(burst);
  Rig.Tick();
  Rig.Tick();  // the port's text of the first tick is not handed on again

  const QStringList stored = Rig.StoredCalls(50);
  ASSERT_EQ(stored.size(), 50);
  EXPECT_EQ(stored.front(), "200|0113456789|2026-12-09 10:15:00");
  EXPECT_EQ(stored.back(), "249|0113456789|2026-12-09 10:15:49");
  EXPECT_EQ(Rig.Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 50);
  ASSERT_EQ(Rig.Log.Lines.size(), 50);
  EXPECT_EQ(Rig.Log.Lines.back(),
            "09/12/2610:15:49  01 249      00:01:230113456789                           ");
  // Listed at once as waiting, ordinary once the worker reports them delivered.
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return !Rig.ListedExtensions().join("").contains('*'); }));
  EXPECT_EQ(Rig.ListedExtensions().size(), 50);
}

// An 80-column line is logged without its personal code, as 76 characters.
TEST_P(ReceiveCycleTest, LineSplitAcrossTwoTicksIsStoredOnceWholeAndLoggedWithoutItsCode) {
  const std::string line = CallLine("09/12/2610:15:30", "201", "0113456789", "4321") + "\r\n";
  Rig.Send(line.substr(0, 30));
  Rig.Tick();
  EXPECT_TRUE(Rig.Log.Lines.isEmpty());
  Rig.Send(line.substr(30));
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(1), QStringList{"201|0113456789|2026-12-09 10:15:30"});
  EXPECT_EQ(Rig.Db.Rows(QStringLiteral("SELECT SENH FROM TBCALL")).at(0).at(0).toString().trimmed(), "4321");
  EXPECT_EQ(Rig.Log.Lines,
            QStringList{"09/12/2610:15:30  01 201      00:01:230113456789                            "});
  EXPECT_EQ(Rig.Log.Lines[0].size(), 76);
}

// The log shows it as Unicode; the journal keeps it as received.
TEST_P(ReceiveCycleTest, GarbageLineIsJournaledLoggedAndStampedButNotStored) {
  Rig.SetNow(QDateTime(QDate(2026, 12, 9), QTime(10, 21, 7)));
  Rig.Send("+++ ATH0 Liga\xE7\xE3o recusada\r\n");
  Rig.Tick();

  EXPECT_EQ(Rig.Log.Lines, QStringList{QStringLiteral(u"+++ ATH0 Ligação recusada")});
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return Rig.Stamp().has_value(); }));
  EXPECT_EQ(Rig.Stamp(), QDateTime(QDate(2026, 12, 9), QTime(10, 21, 7)));
  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  QSqlQuery journal(QSqlDatabase::database(QStringLiteral("journal-ui")));
  ASSERT_TRUE(journal.exec(QStringLiteral("SELECT BYTE, SITU FROM TBDIAR")) && journal.next());
  EXPECT_EQ(journal.value(0).toByteArray(), QByteArray("+++ ATH0 Liga\xE7\xE3o recusada"));
  EXPECT_EQ(journal.value(1).toInt(), 3);
}

// A line without an end is taken at the first tick that brings nothing.
TEST_P(ReceiveCycleTest, TickWithoutBytesTakesAnUnendedLine) {
  Rig.Send(CallLine("09/12/2610:15:30", "201", "0113456789"));
  Rig.Tick();
  EXPECT_TRUE(Rig.Log.Lines.isEmpty());
  Rig.Tick();
  EXPECT_EQ(Rig.StoredCalls(1), QStringList{"201|0113456789|2026-12-09 10:15:30"});
  Rig.Tick();
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  EXPECT_EQ(Rig.Log.Clears, 0);
}

TEST_P(ReceiveCycleTest, LineCutByReconnectingIsNotJoinedToTheNextLine) {
  Rig.Send("09/12/2610:1");
  Rig.Tick();
  ASSERT_TRUE(Rig.Port->ClosePort());
  ASSERT_TRUE(Rig.Port->OpenPort());
  Rig.Send(CallAt(40, "202", "222"));
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(1), QStringList{"202|222|2026-12-09 10:15:40"});
  ASSERT_EQ(Rig.Log.Lines.size(), 2);
  EXPECT_EQ(Rig.Log.Lines[0], "09/12/2610:1");
}

// The exchange sends its buffer again after the link was down: shown again, stored once.
TEST_P(ReceiveCycleTest, TheSameTwentyLinesSentAgainAfterAReconnectAreStoredOnce) {
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += CallAt(i, std::to_string(300 + i));
  Rig.Send(twenty);
  Rig.Tick();
  ASSERT_TRUE(Rig.Port->ClosePort());
  ASSERT_TRUE(Rig.Port->OpenPort());
  Rig.Send(twenty);
  Rig.Tick();
  Rig.Send(CallAt(59, "399"));
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(21).size(), 21);
  EXPECT_EQ(Rig.Log.Lines.size(), 41);
  EXPECT_EQ(Rig.List.rowCount(), 21);
}

// A full disk: the tick's lines wait in memory, the log says why once, and they are written (and
// stored) at the first tick the journal takes them.
TEST_P(ReceiveCycleTest, LinesTheJournalCannotTakeWaitInMemoryForTheNextTick) {
  QSqlQuery pragma(QSqlDatabase::database(QStringLiteral("journal-ui")));
  ASSERT_TRUE(pragma.exec(QStringLiteral("PRAGMA page_count")) && pragma.next());
  const int pages = pragma.value(0).toInt();
  ASSERT_TRUE(pragma.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
  std::string many;
  for (int i = 0; i < 40; ++i) many += CallAt(i, std::to_string(400 + i));
  Rig.Send(many);
  Rig.Tick();
  Rig.Tick();
  EXPECT_EQ(Rig.Cycle->Unwritten(), 40u);
  EXPECT_EQ(Rig.List.rowCount(), 0);
  ASSERT_EQ(Rig.Log.Lines.size(), 41);
  EXPECT_TRUE(Rig.Log.Lines[40].startsWith("Não foi possível gravar o diário de chamadas")) << Rig.Log.Lines[40].toStdString();

  ASSERT_TRUE(pragma.exec(QStringLiteral("PRAGMA max_page_count = 1073741823")));
  Rig.Tick();
  EXPECT_EQ(Rig.Cycle->Unwritten(), 0u);
  EXPECT_EQ(Rig.StoredCalls(40).size(), 40);
}

TEST_P(ReceiveCycleTest, RefusedCallWaitsInTheJournalAndIsStoredOnceTheServerTakesIt) {
  Rig.Db.BreakInserts();
  Rig.Send(CallAt(30, "201", "111"));
  Rig.Tick();
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return Rig.Stamp().has_value(); }));
  EXPECT_TRUE(Rig.StoredCalls().isEmpty());
  EXPECT_EQ(Rig.ListedExtensions(), QStringList{"201*"});

  Rig.Db.MendInserts();
  EXPECT_EQ(Rig.StoredCalls(1), (QStringList{"201|111|2026-12-09 10:15:30"}));
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return Rig.ListedExtensions() == QStringList{"201"}; }));
}

TEST_P(ReceiveCycleTest, FirstCallAfterMidnightIsStoredAndTheDayTurnsInTheSameTick) {
  Rig.SetNow(QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59)));
  Rig.Send(CallLine("09/12/2623:59:58", "201", "111") + "\r\n");
  Rig.Tick();
  EXPECT_EQ(Rig.StoredCalls(1).size(), 1);

  Rig.SetNow(QDateTime(QDate(2026, 12, 10), QTime(0, 0, 2)));
  Rig.Send(CallLine("10/12/2600:00:01", "202", "222") + "\r\n");
  Rig.Tick();

  EXPECT_EQ(Rig.StoredCalls(2), (QStringList{"201|111|2026-12-09 23:59:58", "202|222|2026-12-10 00:00:01"}));
  EXPECT_EQ(Rig.Cycle->FDataAtual(), QDateTime(QDate(2026, 12, 10), QTime(0, 0)));
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return Rig.ListedExtensions() == QStringList{"202"}; }))
      << Rig.ListedExtensions().join(",").toStdString();
  EXPECT_EQ(Rig.Log.Clears, 1);
  EXPECT_TRUE(Rig.Log.Lines.isEmpty());
}

// On a fast line the reads between ticks take the bytes off the driver and journal them at once. A
// tail that came between ticks is not taken as a line by a tick whose own read found nothing: the line
// is still arriving. While another program holds the journal, neither a read between ticks nor the
// first tick takes a byte off the driver; the next tick reads them into memory, as for a journal that
// cannot be written, and they are written once it is free.
TEST_P(ReceiveCycleTest, ReadsBetweenTicksJournalWhatTheyTakeAndABusyJournalLeavesBytesInTheDriver) {
  const std::string second = CallAt(41, "402");
  Rig.Send(CallAt(40, "401") + second.substr(0, 20));
  Rig.Cycle->ReadBetweenTicks();
  Rig.Line.Drained();
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  EXPECT_EQ(Rig.Cycle->Unwritten(), 0u);
  EXPECT_EQ(Rig.StoredCalls(1), QStringList{"401|0113456789|2026-12-09 10:15:40"});
  Rig.Tick();
  EXPECT_EQ(Rig.Log.Lines.size(), 1);

  QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-program"));
  other.setDatabaseName(TCycleRig::JournalPath());
  ASSERT_TRUE(other.open() && QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE")));
  Rig.Send(second.substr(20));
  Rig.Cycle->ReadBetweenTicks();
  Rig.Cycle->TimerTimer();
  EXPECT_EQ(Rig.Log.Lines.size(), 1);
  Rig.Tick();
  EXPECT_EQ(Rig.Cycle->Unwritten(), 1u);
  other.rollback();
  Rig.Tick();
  EXPECT_EQ(Rig.Cycle->Unwritten(), 0u);
  EXPECT_EQ(Rig.StoredCalls(2).size(), 2);
  EXPECT_EQ(Rig.Log.Lines.filter(QStringLiteral("402")).size(), 1);
  other = QSqlDatabase();
  QSqlDatabase::removeDatabase(QStringLiteral("other-program"));
}

// Up to 19,200 bit/s the tick's read is all; above, the driver's 4 KB never fill between two reads.
TEST(ReceiveCycleReadInterval, NeverLetsTheDriversBufferFill) {
  for (int rate = 0; rate <= static_cast<int>(serial::TBaudRate::br256000); ++rate) {
    const auto speed = static_cast<serial::TBaudRate>(rate);
    const std::chrono::milliseconds interval = ReadInterval(speed);
    SCOPED_TRACE(serial::BaudRateValue(speed));
    const std::uint64_t bytesBetweenReads = serial::BaudRateValue(speed) / 10 * interval.count() / 1000;
    EXPECT_LE(bytesBetweenReads, 2560u);
    EXPECT_GE(interval.count(), 100);
    if (serial::BaudRateValue(speed) <= 19200) {
      EXPECT_EQ(interval, TimerInterval);
    }
  }
}

// The server goes away while calls arrive: they are journaled and listed, and stored once when the
// server is back.
class ReceiveCycleOutageTest : public testing::Test {
 protected:
  testsupport::TPostgresCluster Cluster = testsupport::TPostgresCluster::FromEnvironment();
  TCycleRig Rig{TEngine::Postgres, Morning};
  // A failed test must not leave the server down for the next.
  void TearDown() override { Cluster.Start(); }
};

TEST_F(ReceiveCycleOutageTest, CallsDuringAnOutageAreStoredOnceWhenTheServerIsBack) {
  Rig.Send(CallAt(0, "201", "111"));
  Rig.Tick();
  ASSERT_EQ(Rig.StoredCalls(1).size(), 1);
  Cluster.Stop();
  for (const char* extension : {"202", "203", "204"}) {
    Rig.SetNow(Rig.Now().addSecs(1));
    Rig.Send(CallAt(extension[2] - '0', extension, "222"));
    Rig.Tick();
  }
  EXPECT_EQ(Rig.Log.Lines.size(), 4) << Rig.Log.Lines.join("\n").toStdString();
  EXPECT_TRUE(TCycleRig::WaitUntil([&] {
    return Rig.ListedExtensions() == QStringList({"201", "202*", "203*", "204*"});
  })) << Rig.ListedExtensions().join(",").toStdString();

  Cluster.Start();
  EXPECT_EQ(Rig.StoredCalls(4), (QStringList{"201|111|2026-12-09 10:15:00", "202|222|2026-12-09 10:15:02",
                                             "203|222|2026-12-09 10:15:03", "204|222|2026-12-09 10:15:04"}));
  EXPECT_TRUE(TCycleRig::WaitUntil([&] { return Rig.Stamp() == QDateTime(QDate(2026, 12, 9), QTime(10, 20, 3)); }));
}

// The program ended (a crash, a power cut) with a line half received: the half is in the journal, and
// the next run joins it to what comes first only when the two make one call.
TEST(ReceiveCycleRestartTest, AnUnfinishedLineIsTakenUpByTheNextRun) {
  const std::string call = CallAt(30, "201", "111");
  const QString logged = QString::fromStdString(call.substr(0, call.size() - 2));  // without its line end
  const struct {
    const char* Name;
    std::string Before, After;
    QStringList Stored, Logged;
  } cases[] = {
      {"the rest of the line follows", call.substr(0, 30), call.substr(30), {"201|111|2026-12-09 10:15:30"},
       {logged}},
      {"a whole line follows", "09/12/2610:1", call, {"201|111|2026-12-09 10:15:30"},
       {"09/12/2610:1", logged}},
      {"nothing follows", "09/12/2610:1", "", {}, {"09/12/2610:1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCycleRig rig(TEngine::Sqlite, Morning);
    rig.Send(c.Before);
    rig.Tick();
    // A new run on the same journal and line.
    rig.Cycle = std::make_unique<TReceiveCycle>(*rig.Port, rig.Watch(), rig.Journal, rig.List,
                                                *rig.Host, rig.Log, [&rig] { return rig.Now(); });
    rig.Cycle->SetDataAtual(Morning.date().startOfDay());
    if (!c.After.empty()) rig.Send(c.After);
    rig.Tick();
    rig.Tick();
    EXPECT_EQ(rig.StoredCalls(static_cast<int>(c.Stored.size())), c.Stored);
    EXPECT_EQ(rig.Log.Lines, c.Logged);
  }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, ReceiveCycleTest, testing::Values(TEngine::Sqlite));
INSTANTIATE_TEST_SUITE_P(Postgres, ReceiveCycleTest, testing::Values(TEngine::Postgres));

}  // namespace
}  // namespace capture
