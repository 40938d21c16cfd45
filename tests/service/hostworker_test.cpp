// The database worker on its own thread against the test PostgreSQL cluster, with the status line as
// the window shows it: a host that lets the logger write but not read, tables a host job holds
// locked, and a table that refuses every call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <thread>

#include "hostdatabase.h"
#include "hostworker.h"
#include "journal.h"
#include "statusline.h"

namespace service {
namespace {

using testsupport::TEngine;

const QDateTime Today = QDate::currentDate().startOfDay();
const char* const PersonalCode = "7319";

// The worker's thread over a fresh journal and host tables, its reports and its statement watch fed
// to a status line as the window feeds them.
class THostRig {
 public:
  // inDoubt: calls whose commit was lost, in the journal when the worker starts.
  explicit THostRig(const std::function<void(calls::TStoreSettings&)>& adjust = {}, int inDoubt = 0) {
    if (!Journal.Open(JournalPath()))
      throw std::runtime_error("journal: " + Journal.LastError().toStdString());
    if (inDoubt > 0) Receive(100, inDoubt, true);
    calls::TStoreSettings settings = Db.Settings();
    if (adjust) adjust(settings);
    Host =
        std::make_unique<THostWorker>(settings, JournalPath(), [] { return QDateTime::currentDateTime(); });
    QObject::connect(&Host->Worker(), &calls::TStoreWorker::StatusChanged, &Context,
                     [this](const calls::THostStatus& status) {
                       Status = status;
                       Line.SetStatus(status);
                     });
    QObject::connect(&Host->Worker(), &calls::TStoreWorker::DayListed, &Context,
                     [this](const calls::TDayListPtr& list) { Listed.push_back(list->Rows.size()); });
  }
  ~THostRig() { Host->Stop(std::chrono::seconds(60)); }

  // Journals calls to the extensions first .. first + count - 1 (as calls whose commit was lost, in
  // doubt) and asks for their delivery.
  void Receive(int first, int count, bool inDoubt = false) {
    std::vector<calls::TReceivedLine> lines;
    for (int i = first; i < first + count; ++i) {
      const std::string rama = std::to_string(i);
      lines.push_back({QDateTime::currentDateTime(), rama + " line",
                       calls::TCallRecord{{2026, 3, 14, 9 + i / 3600, i / 60 % 60, i % 60},
                                          rama,
                                          "0113456789",
                                          "00:01:00",
                                          PersonalCode,
                                          "01",
                                          std::nullopt}});
    }
    std::vector<calls::TJournaled> journaled;
    ASSERT_TRUE(Journal.Append(lines, journaled)) << Journal.LastError().toStdString();
    calls::TMarks lost;
    for (const calls::TJournaled& line : journaled) lost.InDoubt.push_back(line.Id);
    std::vector<calls::TSetAside> none;
    ASSERT_TRUE(!inDoubt || Journal.Mark(lost, none));
    if (Host) Host->DeliverWaiting();
  }
  int Stored() { return Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")); }
  QDateTime Stamp() {
    return Db.Rows(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA")).at(0).at(0).toDateTime();
  }

  // Runs the test thread's events, and the window's watch of the worker's statement, until the
  // condition holds; false after the given seconds.
  bool WaitUntil(const std::function<bool()>& done, int seconds) {
    const QDeadlineTimer deadline(seconds * 1000);
    while (!deadline.hasExpired()) {
      QCoreApplication::processEvents();
      Line.SetStatementSince(Host->Worker().Watch()->Since(), QDateTime::currentDateTime());
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void Run(int seconds) {
    WaitUntil([] { return false; }, seconds);
  }

  QString JournalPath() const { return FJournalFolder.filePath(QStringLiteral("journal.sqlite")); }
  // unixODBC reads its configuration folder once per process: one for every rig.
  static QString OdbcFolder() {
    static const QTemporaryDir folder;
    return folder.path();
  }

  testsupport::THostDatabase Db{TEngine::Postgres, OdbcFolder()};

 private:
  QTemporaryDir FJournalFolder;

 public:
  calls::TJournal Journal{QStringLiteral("journal-ui")};
  std::unique_ptr<THostWorker> Host;
  QObject Context;
  calls::THostStatus Status;
  TStatusLine Line;
  std::vector<std::size_t> Listed;
};

// A host that lets the logger insert calls and stamp TBPARA but read neither TBCALL nor a clock: the
// calls and the stamp go in, the grid gets the journal's list, and the tool tip says which reads fail.
// Two calls whose commit was lost cannot be looked up: after three look-ups they are set aside, and the
// calls that went in leave delivery without failure.
TEST(HostWorker, CallsAndStampNeedNoRead) {
  const QString user = QStringLiteral("logwriter");
  THostRig rig(
      [&](calls::TStoreSettings& settings) {
        settings.UserName = user;
        settings.Password = QStringLiteral("writer-pw");
        for (calls::TDialect& dialect : settings.Dialects)
          dialect.ClockQuery = QStringLiteral("SELECT data_atua FROM no_clock");
      },
      2);
  rig.Db.Exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(user));
  rig.Db.Exec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'writer-pw'").arg(user));
  rig.Db.Exec(QStringLiteral("GRANT INSERT ON TBCALL TO %1").arg(user));
  rig.Db.Exec(QStringLiteral("GRANT UPDATE ON TBPARA TO %1").arg(user));
  const QDateTime stamp(QDate(2026, 3, 14), QTime(9, 0, 3));
  rig.Host->OpenDay(Today);
  rig.Host->ReadServerDate();
  rig.Receive(1, 3);
  rig.Host->Stamp(stamp);

  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Stored() == 3 && rig.Stamp() == stamp; }, 20)) << rig.Stored();
  EXPECT_TRUE(rig.WaitUntil(
      [&] { return !rig.Status.DayList.Error.isEmpty() && !rig.Status.Clock.Error.isEmpty(); }, 10));
  EXPECT_TRUE(rig.Status.DayList.Error.contains(QStringLiteral("permission denied")))
      << rig.Status.DayList.Error.toStdString();
  EXPECT_FALSE(rig.Listed.empty());
  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Status.Refused == 2 && rig.Status.Waiting == 0; }, 20));
  EXPECT_TRUE(rig.Status.Error.isEmpty()) << rig.Status.Error.toStdString();
  EXPECT_EQ(rig.Stored(), 3);
  const TStatusView view = rig.Line.View();
  EXPECT_EQ(view.Text, QStringLiteral("Erro no banco"));
  EXPECT_TRUE(view.ToolTip.contains(QStringLiteral("A lista do dia não pôde ser lida")))
      << view.ToolTip.toStdString();
  EXPECT_TRUE(view.ToolTip.contains(QStringLiteral("A data do servidor não pôde ser lida")))
      << view.ToolTip.toStdString();
}

// A host job holds TBPARA, then TBCALL. The stamp waits no longer than the statement limit (12 s
// here, 30 s at a site), and calls sent meanwhile go in after it; once the worker has waited over
// 10 s for TBCALL the status line says so; every call is stored once after the lock goes.
TEST(HostWorker, LockedTablesHoldNothingLongerThanTheStatementLimit) {
  THostRig rig([](calls::TStoreSettings& settings) { settings.StatementLimitSeconds = 12; });
  rig.Receive(1, 1);
  ASSERT_TRUE(rig.WaitUntil([&] { return rig.Stored() == 1; }, 20));

  const QDateTime stamp(QDate(2026, 3, 14), QTime(9, 30, 0));
  rig.Db.LockTable(QStringLiteral("TBPARA"));
  rig.Host->Stamp(stamp);
  ASSERT_TRUE(rig.WaitUntil([&] { return rig.Host->Worker().Watch()->Since().isValid(); }, 5));
  rig.Receive(2, 2);
  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Stored() == 3; }, 12 + 8)) << rig.Stored();
  rig.Db.ReleaseLock();
  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Stamp() == stamp; }, 10));

  rig.Db.LockTable(QStringLiteral("TBCALL"));
  rig.Receive(4, 2);
  EXPECT_TRUE(
      rig.WaitUntil([&] { return rig.Line.View().Text == QStringLiteral("Banco sem resposta"); }, 15));
  EXPECT_TRUE(rig.Line.View().ToolTip.contains(QStringLiteral("um comando aguarda desde")));
  // Past the statement limit: the insert gave up and waits again.
  rig.Run(4);
  rig.Db.ReleaseLock();
  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Stored() == 5; }, 20)) << rig.Stored();
  EXPECT_TRUE(rig.WaitUntil([&] { return rig.Line.View().Text == QStringLiteral("Banco OK"); }, 10))
      << rig.Line.View().Text.toStdString();
  EXPECT_EQ(rig.Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 5);
}

// A host table that refuses every call, with 10,000 waiting: each back-off step (1, 2, 4 s ...) costs
// the server one batch and one call on its own. The server's reason reaches the tool tip and the
// journal without the callers' personal code, which the refusal quoted.
TEST(HostWorker, AServerRefusingEveryCallIsAskedTwiceABackoffStep) {
  THostRig rig;
  rig.Db.Exec(QStringLiteral("DROP SEQUENCE IF EXISTS tbcall_attempts"));
  rig.Db.Exec(QStringLiteral("CREATE SEQUENCE tbcall_attempts"));
  rig.Db.Exec(QStringLiteral(
      "CREATE OR REPLACE FUNCTION tbcall_count_and_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
      "PERFORM nextval('tbcall_attempts'); "
      "RAISE EXCEPTION 'chamada % recusada, senha %', NEW.RAMA, NEW.SENH "
      "USING DETAIL = 'Failing row contains (' || NEW.RAMA || ', ' || NEW.SENH || ')'; END $$"));
  rig.Db.Exec(
      QStringLiteral("CREATE TRIGGER tbcall_refuse BEFORE INSERT ON tbcall FOR EACH ROW EXECUTE FUNCTION "
                     "tbcall_count_and_refuse()"));
  rig.Receive(1, 10000);
  // Steps at about 0, 1, 3 and 7 s.
  rig.Run(8);
  const int attempts = rig.Db.Count(
      QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE 0 END FROM tbcall_attempts"));
  EXPECT_GE(attempts, 2);
  EXPECT_LE(attempts, 2 * 4 + 2);
  calls::TJournalCounts counts;
  ASSERT_TRUE(rig.Journal.Counts(counts));
  EXPECT_EQ(counts.Waiting, 10000);
  EXPECT_EQ(counts.Refused, 0);

  const QString toolTip = rig.Line.View().ToolTip;
  EXPECT_TRUE(toolTip.contains(QStringLiteral("recusada"))) << toolTip.toStdString();
  EXPECT_FALSE(toolTip.contains(QLatin1String(PersonalCode))) << toolTip.toStdString();
  QSqlQuery reasons(QSqlDatabase::database(QStringLiteral("journal-ui")));
  ASSERT_TRUE(reasons.exec(QStringLiteral("SELECT MOTI FROM TBDIAR WHERE MOTI IS NOT NULL")));
  int kept = 0;
  for (; reasons.next(); ++kept)
    EXPECT_FALSE(reasons.value(0).toString().contains(QLatin1String(PersonalCode)));
  EXPECT_GE(kept, 2);
}

}  // namespace
}  // namespace service
