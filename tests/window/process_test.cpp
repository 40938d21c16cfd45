// The logger as a real process on a real pseudo-terminal and the test PostgreSQL cluster: killed while
// calls wait for a stopped server, closed while the server hangs, and refused every call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include "hostdatabase.h"
#include "loopback.h"
#include "pgcluster.h"
#include "watchedline.h"

namespace window {
namespace {

using testsupport::CallLine;
using testsupport::TEngine;
using testsupport::TWatchedLine;

const char* const PersonalCode = "4321";

// This process, and the loggers it starts from now on, in a cgroup (v1 blkio) whose writes to the
// folder's disk are throttled to 10 a second, as on a busy or failing disk, an SD card or a loaded VM
// host, until destroyed. On() is false where the machine offers no such cgroup.
class TSlowDisk {
 public:
  explicit TSlowDisk([[maybe_unused]] const QString& folder) {
#ifdef __linux__
    struct stat info {};
    if (stat(qPrintable(folder), &info) != 0) return;
    QString device = QStringLiteral("/sys/dev/block/%1:%2").arg(major(info.st_dev)).arg(minor(info.st_dev));
    if (QFile::exists(device + QStringLiteral("/partition"))) device += QStringLiteral("/..");
    QFile disk(device + QStringLiteral("/dev"));
    FOn = disk.open(QIODevice::ReadOnly) && QDir().mkpath(FGroup) &&
          Write(FGroup + QStringLiteral("/blkio.throttle.write_iops_device"),
                disk.readAll().trimmed() + " 10") &&
          Write(FGroup + QStringLiteral("/cgroup.procs"),
                QByteArray::number(QCoreApplication::applicationPid()));
#endif
  }
  ~TSlowDisk() {
    if (Write(Root + QStringLiteral("/cgroup.procs"), QByteArray::number(QCoreApplication::applicationPid())))
      QDir().rmdir(FGroup);
  }
  bool On() const { return FOn; }

 private:
  static bool Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush();
  }
  const QString Root = QStringLiteral("/sys/fs/cgroup/blkio");
  const QString FGroup =
      Root + QStringLiteral("/logchamadas-slow-%1").arg(QCoreApplication::applicationPid());
  bool FOn = false;
};

class LoggerProcessTest : public testing::Test {
 protected:
  // Whatever a test did to the server, the next finds it running.
  void TearDown() override {
    Cluster.Thaw();
    Cluster.Start();
  }

  // Its standard error forwarded, kept to read, or sent to a file; its line as the settings file says. As a
  // service: the program itself with --servico, as systemd starts it (its journal in STATE_DIRECTORY),
  // with no display of any kind and no settings files but the test's.
  std::unique_ptr<QProcess> StartLogger(bool keepStandardError = false, const QString& lineSettings = {},
                                        const QString& standardErrorFile = {}, bool service = false) {
    auto logger = std::make_unique<QProcess>();
    logger->setProcessChannelMode(keepStandardError ? QProcess::ForwardedOutputChannel : QProcess::ForwardedChannels);
    if (!standardErrorFile.isEmpty()) logger->setStandardErrorFile(standardErrorFile);
    logger->setProcessEnvironment([this, &lineSettings, service] {
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Folder.path());
      // A line from the settings file alone: COM1's variable would win over it.
      if (!lineSettings.isEmpty()) environment.remove(QStringLiteral("LOGCHAMADAS_COM1"));
      if (service) {
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
          environment.remove(QString::fromLatin1(display));
        environment.insert(QStringLiteral("STATE_DIRECTORY"), QFileInfo(Journal()).absolutePath());
        environment.insert(QStringLiteral("LOGCHAMADAS_SERVICO"), Folder.filePath(QStringLiteral("service.sock")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Folder.path());
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), Folder.path());
      }
      return environment;
    }());
    QStringList arguments{Journal()};
    if (!lineSettings.isEmpty()) arguments << lineSettings;
    if (service) {
      logger->start(QStringLiteral(LOGCHAMADAS_PROGRAM), {QStringLiteral("--servico")});
    } else {
      logger->start(QStringLiteral(LOGCHAMADAS_LOGGER_DRIVER), arguments);
    }
    EXPECT_TRUE(logger->waitForStarted());
    return logger;
  }
  QString Journal() const { return Folder.filePath(QStringLiteral("diario/journal.sqlite")); }

  // Calls of the exchange, each to its own extension, with the caller's personal code.
  static std::string Calls(int first, int count) {
    std::string lines;
    for (int i = first; i < first + count; ++i) {
      lines += CallLine(QStringLiteral("09/12/2610:%1:00").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
                        std::to_string(500 + i), "0113456789", PersonalCode) +
               "\r\n";
    }
    return lines;
  }
  void SendCalls(int first, int count) { ASSERT_TRUE(Line.FarEnd->Write(Calls(first, count))); }
  // The standard error of a logger that has ended, as text.
  static QString History(QProcess& logger) {
    // Windows writes its line ends as CR LF.
    return QString::fromUtf8(logger.readAllStandardError()).remove(QLatin1Char('\r'));
  }
#ifndef _WIN32
  // SIGTERM 50 ms after call `call` was written (a pseudo-terminal hands bytes to its reader a moment
  // later): the logger ends with status 0 and every call so far journaled; its history, when it can
  // still be read, says who asked.
  void TerminateAfterCall(QProcess& logger, int call, bool historyRead = true) {
    SendCalls(call, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    logger.terminate();
    ASSERT_TRUE(logger.waitForFinished(15000));
    EXPECT_EQ(logger.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(logger.exitCode(), 0);
    EXPECT_EQ(JournalRows(0) + JournalRows(1), call + 1);
    if (!historyRead) return;
    const QString history = History(logger);
    EXPECT_TRUE(history.contains(QStringLiteral("logchamadas: fim pedido pelo sistema (SIGTERM)\n")) &&
                history.endsWith(QStringLiteral("logchamadas: fim\n")))
        << history.toStdString();
  }
#endif
  // Rows of the journal in the given state (0 waiting, 1 delivered), read as any other program would.
  int JournalRows(int state, const QString& condition = QStringLiteral("1 = 1")) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
    db.setDatabaseName(Journal());
    int rows = -1;
    if (db.open()) {
      QSqlQuery query(db);
      if (query.exec(QStringLiteral("SELECT COUNT(*) FROM TBDIAR WHERE SITU = %1 AND %2")
                         .arg(state)
                         .arg(condition)) &&
          query.next())
        rows = query.value(0).toInt();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return rows;
  }
  static bool WaitUntil(const std::function<bool()>& done, int seconds = 30) {
    for (int i = 0; i < seconds * 10; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  int Stored() { return Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")); }
  void Close(QProcess& logger) {
    logger.write("close\n");
    EXPECT_TRUE(logger.waitForFinished(15000));
    EXPECT_EQ(logger.exitCode(), 0);
  }

  // unixODBC reads its configuration folder once per process: one for every test.
  static QString OdbcFolder() {
    static const QTemporaryDir folder;
    return folder.path();
  }

  QTemporaryDir Folder;
  testsupport::TPostgresCluster Cluster = testsupport::TPostgresCluster::FromEnvironment();
  testsupport::THostDatabase Db{TEngine::Postgres, OdbcFolder()};
  TWatchedLine Line;
};

// A crash, a power cut or an operator's reboot while the server is down loses no call.
TEST_F(LoggerProcessTest, KilledWhileCallsWaitEveryCallIsStoredOnceAfterARestart) {
  Cluster.Stop();
  auto logger = StartLogger();
  SendCalls(0, 10);
  ASSERT_TRUE(WaitUntil([&] { return JournalRows(0) == 10; })) << JournalRows(0);
#ifdef _WIN32
  logger->kill();
#else
  // A second stop signal, whichever the first, ends the program at once, as a kill does.
  ::kill(static_cast<pid_t>(logger->processId()), SIGHUP);
  ::kill(static_cast<pid_t>(logger->processId()), SIGTERM);
#endif
  logger->waitForFinished();
  EXPECT_EQ(logger->exitStatus(), QProcess::CrashExit);

  Cluster.Start();
  logger = StartLogger();
  ASSERT_TRUE(WaitUntil([&] { return Stored() >= 10; })) << Stored();
  SendCalls(10, 1);
  EXPECT_TRUE(WaitUntil([&] { return Stored() >= 11; })) << Stored();
  Close(*logger);
  EXPECT_EQ(Stored(), 11);
  EXPECT_EQ(Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 11);
  EXPECT_EQ(JournalRows(0), 0);
}

// A hung server holds only the database worker: closing ends the program within its few seconds of
// grace, the calls that could not be delivered still in the journal for the next start.
TEST_F(LoggerProcessTest, ClosingWhileTheServerHangsEndsSoonAndKeepsTheCalls) {
  auto logger = StartLogger();
  SendCalls(0, 1);
  ASSERT_TRUE(WaitUntil([&] { return Stored() == 1; }));
  Cluster.Freeze();
  SendCalls(1, 3);
  ASSERT_TRUE(WaitUntil([&] { return JournalRows(0) == 3; })) << JournalRows(0);

  QElapsedTimer closing;
  closing.start();
  Close(*logger);
  // The worker's 3 s of grace, and as much again for a loaded machine.
  EXPECT_LT(closing.elapsed(), 6000);
  EXPECT_EQ(JournalRows(0), 3);
}

#ifndef _WIN32
// Shut-down asks with SIGTERM: the line's last bytes are journaled before the program ends, with no box,
// as when the session ends; the history says who asked. Under umask 022 the journal is private.
TEST_F(LoggerProcessTest, EndedBySigtermJournalsWhatTheLineHolds) {
  ::umask(022);
  auto logger = StartLogger(true);
  SendCalls(0, 1);
  ASSERT_TRUE(WaitUntil([&] { return Stored() == 1; }));
  for (const char* name : {".", "journal.sqlite", "journal.sqlite-wal", "journal.sqlite-shm", "journal.sqlite.lock"}) {
    const QFileInfo file(QFileInfo(Journal()).dir().filePath(QLatin1String(name)));
    EXPECT_TRUE(file.exists() && (file.permissions() & 0x77) == 0) << name;
  }
  TerminateAfterCall(*logger, 1);

  // The same 50 ms after a line, standard error's reader gone (`logchamadas 2>&1 | tee log`, tee ended).
  const QByteArray pipe = QFile::encodeName(Folder.filePath(QStringLiteral("stderr")));
  ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
  const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  logger = StartLogger(true, {}, QFile::decodeName(pipe));
  SendCalls(2, 1);
  ASSERT_TRUE(WaitUntil([&] { return Stored() == 3; }));
  ::close(reader);
  TerminateAfterCall(*logger, 3, false);
}

// The service, started with no display at all, reads and stores calls; SIGTERM 50 ms after a line
// journals it before the service ends with status 0, and a second service on its journal is refused.
TEST_F(LoggerProcessTest, ServiceWithoutADisplayStoresCallsAndLosesNoneToSigterm) {
  auto service = StartLogger(true, {}, {}, true);
  SendCalls(0, 2);
  ASSERT_TRUE(WaitUntil([&] { return Stored() == 2; })) << Stored();
  auto second = StartLogger(true, {}, {}, true);
  ASSERT_TRUE(second->waitForFinished(15000));
  EXPECT_EQ(second->exitCode(), 1);
  EXPECT_TRUE(History(*second).contains(QStringLiteral("outro logchamadas já usa o diário")));
  TerminateAfterCall(*service, 2);
}
#endif

// Started connected before its USB adapter is there: no box, the port is tried until it appears, and
// the calls are stored; standard error tells the story.
TEST_F(LoggerProcessTest, ConnectedAtStartBeforeTheDeviceExistsItIsOpenedOnceItAppears) {
  Line.FarEnd.reset();
  testsupport::AwaitFarEnd();
  auto logger = StartLogger(true);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  Line = TWatchedLine();
  SendCalls(0, 3);
  EXPECT_TRUE(WaitUntil([&] { return Stored() == 3; })) << Stored();
  Close(*logger);
  const QString history = History(*logger);
  // Local time in ISO 8601, then the program's name: "2026-12-09T10:20:30 logchamadas: início, versão 1.0".
  const QString first = history.section(QLatin1Char('\n'), 0, 0);
  EXPECT_TRUE(QDateTime::fromString(first.section(QLatin1Char(' '), 0, 0), Qt::ISODate).isValid()) << first.toStdString();
  EXPECT_TRUE(first.contains(QStringLiteral(" logchamadas: início, versão 1"))) << first.toStdString();
  for (const char* change : {"logchamadas: porta COM1", " não abre: ", " de volta\n", "logchamadas: fim\n"})
    EXPECT_TRUE(history.contains(QString::fromUtf8(change))) << change << "\n" << history.toStdString();
}

// A line served over TCP (a serial device server, an exchange on the network), named in the settings
// file: the calls are stored; the server ending the connection is a lost line, tried again after 2 s
// with a line on standard error, and the calls on the next connection are stored once. (A refused
// connect is tried again too: see the TCP source's tests.)
TEST_F(LoggerProcessTest, LineOverTcpIsLostAndBackAsASerialPortIs) {
  testsupport::TLoopbackServer server;
  ASSERT_TRUE(server.IsListening());
  const QString settings = Folder.filePath(QStringLiteral("tcp.conf"));
  QFile file(settings);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QStringLiteral("[porta]\ndispositivo=%1\n").arg(QString::fromStdString(server.Address())).toUtf8());
  file.close();
  auto logger = StartLogger(true, settings);
  ASSERT_TRUE(server.Accept(std::chrono::seconds(20)));
  ASSERT_TRUE(server.Send(Calls(0, 3)));
  ASSERT_TRUE(WaitUntil([&] { return Stored() == 3; })) << Stored();

  server.ClosePeer();
  QElapsedTimer away;
  away.start();
  ASSERT_TRUE(server.Accept(std::chrono::seconds(20)));
  EXPECT_GE(away.elapsed(), 1000);  // not at once: at the next try
  ASSERT_TRUE(server.Send(Calls(3, 2)));
  EXPECT_TRUE(WaitUntil([&] { return Stored() == 5; })) << Stored();
  Close(*logger);
  EXPECT_EQ(Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 5);
  const QString history = History(*logger);
  const QString line = QStringLiteral("logchamadas: porta tcp://127.0.0.1:%1").arg(server.Port());
  EXPECT_EQ(history.count(line + QStringLiteral(" perdida: a outra ponta encerrou a conexão; nova tentativa a cada 2 s\n")), 1)
      << history.toStdString();
  EXPECT_EQ(history.count(line + QStringLiteral(" de volta\n")), 1) << history.toStdString();
}

// A crash loop: the logger killed at random moments while the exchange writes lines in two pieces
// each, the line's far end held open, so what comes while the logger is dead waits for its next start.
// Every line reaches TBCALL once: the unfinished piece of a line is journaled with each tick's lines
// and joined to the rest after the restart. And so on a disk that takes 10 writes a second (each fsync
// of the journal up to half a second), where no line read from the port may wait behind the worker's
// writes; the last logger runs at full speed, so only a line lost or stored twice fails the loop.
class CrashLoopTest : public LoggerProcessTest, public testing::WithParamInterface<bool> {};

TEST_P(CrashLoopTest, KilledAtRandomMomentsWhileLinesArriveInPiecesEveryLineIsStoredOnce) {
  auto slow = GetParam() ? std::make_unique<TSlowDisk>(Folder.path()) : nullptr;
  if (slow && !slow->On())
    GTEST_SKIP() << "no blkio cgroup to throttle the disk's writes (Linux, cgroup v1, root)";
  // On the slow disk the logger's start-up alone (the lock file, the journal) takes a few writes.
  const int Kills = slow ? 30 : 22, shortest = slow ? 1000 : 300, longest = slow ? 5000 : 2000;
  // Qt's generator rather than the standard library's: a static Qt for Windows carries its own copy of
  // std::mt19937's code, and two copies built apart do not mix.
  const quint32 seed = QRandomGenerator::system()->generate();
  QRandomGenerator random(seed);
  std::atomic<bool> writing = true;
  std::atomic<int> written = 0;
  std::thread exchange([&, pieces = QRandomGenerator(seed + 1)]() mutable {
    for (int i = 0; writing; ++i) {
      const std::string line =
          CallLine(QStringLiteral("09/12/2610:%1:%2").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')).toStdString(),
                   std::to_string(1000 + i), "01134" + std::to_string(100000 + i)) +
          "\r\n";
      const auto at = static_cast<std::size_t>(pieces.bounded(5, 71));
      if (!Line.FarEnd->Write(line.substr(0, at))) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(pieces.bounded(20, 251)));
      if (!Line.FarEnd->Write(line.substr(at))) return;
      written = i + 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(pieces.bounded(20, 251)));
    }
  });
  for (int kill = 0; kill < Kills; ++kill) {
    auto logger = StartLogger();
    std::this_thread::sleep_for(std::chrono::milliseconds(random.bounded(shortest, longest + 1)));
    logger->kill();
    logger->waitForFinished();
  }
  slow.reset();
  auto logger = StartLogger();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  writing = false;
  exchange.join();
  WaitUntil([&] { return Stored() >= written; }, 120);
  Close(*logger);
  const int distinct = Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL"));
  // The journal's counts tell a line never journaled from one journaled and then not delivered.
  std::printf("crash loop (seed %u): %d kills, %d lines written, %d stored, %d lost, %d stored twice; journal: %d "
              "delivered, %d waiting, %d no call\n",
              seed, Kills, written.load(), Stored(), written - distinct, Stored() - distinct, JournalRows(1),
              JournalRows(0), JournalRows(3));
  EXPECT_EQ(distinct, written.load());
  EXPECT_EQ(Stored(), distinct);
  EXPECT_EQ(Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE RAMA NOT LIKE '1%' OR LENGTH(TRIM(RAMA)) <> 4")), 0);
}
INSTANTIATE_TEST_SUITE_P(Disk, CrashLoopTest, testing::Values(false, true),
                         [](const auto& disk) { return disk.param ? "Slow" : "Ordinary"; });

// The server refuses the calls and its driver quotes each refused row, or a trigger quotes the code (Qt's
// ODBC driver prints both): neither the program's standard error nor the journal's reason keeps the code.
TEST_F(LoggerProcessTest, RefusedCallsLeaveNoPersonalCodeBehind) {
  Db.BreakInserts(QStringLiteral("500"));
  Db.Exec(
      QStringLiteral("CREATE OR REPLACE FUNCTION tbcall_quote() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN "
                     "IF NEW.RAMA = ''501'' THEN RAISE EXCEPTION ''senha % recusada'', NEW.SENH; END IF; "
                     "RETURN NEW; END'"));
  Db.Exec(QStringLiteral(
      "CREATE TRIGGER tbcall_quote BEFORE INSERT ON tbcall FOR EACH ROW EXECUTE FUNCTION tbcall_quote()"));
  auto logger = StartLogger(true);
  SendCalls(0, 2);
  ASSERT_TRUE(WaitUntil([&] { return JournalRows(0, QStringLiteral("MOTI IS NOT NULL")) == 2; }));
  Close(*logger);
  const QString errors = History(*logger);
  EXPECT_TRUE(errors.contains(QStringLiteral("DETAIL: ****"))) << errors.toStdString();
  EXPECT_FALSE(errors.contains(QLatin1String(PersonalCode))) << errors.toStdString();
  EXPECT_EQ(JournalRows(0, QStringLiteral("MOTI LIKE '%%1%'").arg(QLatin1String(PersonalCode))), 0);
  EXPECT_EQ(JournalRows(0, QStringLiteral("MOTI LIKE '%senha ****%'")), 1);
  Db.Exec(QStringLiteral("DROP TRIGGER tbcall_quote ON tbcall"));
  Db.MendInserts();
}

}  // namespace
}  // namespace window
