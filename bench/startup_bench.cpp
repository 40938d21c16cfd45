// Start-up over a journal of 100,000 calls an earlier run left waiting: the real window, offscreen,
// in a process of its own. Reports the time from the process's start to the window shown and to the
// grid listing every waiting call (aim: under 1 s), peak memory (aim: under 64 MB), the time until all
// are in TBCALL on SQLite and on PostgreSQL, and how late the window's event loop ran meanwhile.
//   startup_bench [--calls N] [sqlite|postgres]...   (100,000 calls, both)
#include <time.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "benchsupport.h"
#include "utcall.h"

using namespace bench;

namespace {

constexpr int FillBatch = 10000;
// The child gives up after this long.
constexpr std::chrono::minutes RunLimit{15};
constexpr std::chrono::milliseconds Poll{10};
constexpr int ProbeEvery = 25;  // polls: the journal is asked how many wait every 250 ms

// Milliseconds since the kernel started the process (to 10 ms: the start time is kept in clock ticks).
double MillisecondsSinceExec() {
  QFile stat(QStringLiteral("/proc/self/stat"));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QByteArray text = stat.readAll();
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  const double startTicks = fields.value(19).toDouble();  // field 22, "starttime"
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return (static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - startTicks / sysconf(_SC_CLK_TCK)) * 1000.0;
}

// The child: the window over the journal, with the settings of the source the parent made.
int RunWindow(TEngine engine, const QString& journalPath, int expected, int argc, char** argv) {
  QApplication app(argc, argv);
  auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
  if (!journal->Open(journalPath)) throw std::runtime_error(journal->LastError().toStdString());
  auto* fmtCall = new window::TfmtCall(std::move(journal), journalPath, ChildSettings(engine),
                                       [](QWidget&, const QString& text) {
                                         std::fprintf(stderr, "startup_bench: box: %s\n", qPrintable(text));
                                       });
  fmtCall->show();
  while (!fmtCall->windowHandle() || !fmtCall->windowHandle()->isExposed()) QCoreApplication::processEvents();
  const double shown = MillisecondsSinceExec();
  const double shownMb = StatusMb("VmHWM");
  const auto shownAt = TSteady::now();
  const QAbstractItemModel* grid = fmtCall->findChild<QTableView*>(QStringLiteral("gr"))->model();

  calls::TJournal probe(QStringLiteral("journal-probe"));
  if (!probe.Open(journalPath)) throw std::runtime_error(probe.LastError().toStdString());
  double listed = -1;
  double listedMb = -1;
  double delivered = -1;
  int polls = 0;
  std::vector<double> lateness;
  auto last = TSteady::now();
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const auto now = TSteady::now();
    lateness.push_back(std::chrono::duration<double, std::milli>(now - last - Poll).count());
    last = now;
    if (listed < 0 && grid->rowCount() >= expected) {
      listed = MillisecondsSinceExec();
      listedMb = StatusMb("VmHWM");
    }
    calls::TJournalCounts counts;
    if (++polls % ProbeEvery == 0 && probe.Counts(counts) && counts.Waiting == 0 && counts.Refused == 0) {
      delivered = MillisecondsSince(shownAt) / 1000.0;
      fmtCall->close();  // frees itself; the loop ends with it
    }
    if (now - shownAt > RunLimit) fmtCall->close();
  });
  poll.start(Poll);
  QApplication::exec();

  std::printf(
      "%-10s %d waiting calls: window shown %.0f ms after the process started, grid listing them all "
      "%.0f ms (aim < 1 s); peak memory %.1f MB when shown, %.1f MB when listed (aim < 64 MB), "
      "%.1f MB at the end\n",
      EngineName(engine), expected, shown, listed, shownMb, listedMb, StatusMb("VmHWM"));
  std::printf(
      "%-10s all delivered %.1f s after the window showed; the window's event loop late meanwhile "
      "p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
      EngineName(engine), delivered, Percentile(lateness, 0.5), Percentile(lateness, 0.99),
      Percentile(lateness, 1));
  std::fflush(stdout);
  return listed >= 0 && delivered >= 0 ? 0 : 1;
}

void BenchEngine(TEngine engine, const TBenchHosts& hosts, int calls) {
  testsupport::THostDatabase host(engine, hosts.OdbcFolder());
  const QString journalPath = hosts.Path(QStringLiteral("journal-%1.sqlite").arg(EngineName(engine)));
  double fill = 0;
  double read = 0;
  {
    calls::TJournal journal(QStringLiteral("journal-fill"));
    if (!journal.Open(journalPath)) throw std::runtime_error(journal.LastError().toStdString());
    fill = MillisecondsOf([&] { FillJournal(journal, 0, calls, FillBatch, QDate::currentDate()); });
    // The part of the grid's list the journal gives, read here alone for comparison.
    calls::TRowBlocks rows;
    qint64 lastId = 0;
    read = MillisecondsOf([&] { journal.UndeliveredCalls(rows, lastId); });
  }
  std::printf(
      "%-10s journal of %d waiting calls filled in %.1f s (%.1f MB); reading them back alone "
      "(UndeliveredCalls) %.0f ms\n",
      EngineName(engine), calls, fill / 1000.0,
      static_cast<double>(QFileInfo(journalPath).size()) / 1048576.0, read);
  std::fflush(stdout);

  const QString runtime = hosts.Path(QStringLiteral("runtime"));
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--window"),
               engine == TEngine::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgres"), journalPath,
               QString::number(calls)});
  if (!child.waitForFinished(
          static_cast<int>(std::chrono::milliseconds(RunLimit + std::chrono::minutes(1)).count())) ||
      child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
    throw std::runtime_error("the window's run failed");
  }
  const int stored = host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL"));
  const int distinct = host.Count(QStringLiteral("SELECT COUNT(DISTINCT NUME_DISC) FROM TBCALL"));
  std::printf("%-10s TBCALL holds %d rows, %d distinct calls (of %d)\n", EngineName(engine), stored, distinct,
              calls);
  if (stored != calls || distinct != calls) throw std::runtime_error("TBCALL does not hold each call once");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 5 && std::string(argv[1]) == "--window") {
      return RunWindow(EnginesNamed({QString::fromLocal8Bit(argv[2])}).front(),
                       QString::fromLocal8Bit(argv[3]), std::stoi(argv[4]), argc, argv);
    }
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int calls = 100000;
    if (args.size() >= 2 && args[0] == QLatin1String("--calls")) {
      calls = args[1].toInt();
      args = args.mid(2);
    }
    if (calls <= 0) throw std::runtime_error("usage: startup_bench [--calls N] [sqlite|postgres]...");
    PrintMachine();
    const TBenchHosts hosts("startup-bench");
    hosts.ForEach(EnginesNamed(args), [&](TEngine engine) { BenchEngine(engine, hosts, calls); });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "startup_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
