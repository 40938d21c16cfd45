// The main window off screen, as the operator runs it: connected to COM1, a pseudo-terminal the exchange
// simulator feeds, journaling every line and storing into SQLite through the database worker. Reports
// the CPU time per call of the process and of the interface thread (reading, decoding, the journal,
// the grid and the log panel) and the memory once every call is in the grid and in TBCALL.
//   window_bench [--count N] [--rate R] [--tick-ms T]   (10,000 calls, 100 a second, the window's tick)
// The line is busy: a pseudo-terminal holds a few KiB, so about 50 calls come in each second's tick and
// the run takes some 200 s. --tick-ms 10 makes the timer tick faster, each tick then brings about one
// call: the costliest case for painting, which a quiet line has once a call.
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "benchsupport.h"
#include "hostdatabase.h"
#include "journal.h"
#include "offscreenmain.h"
#include "receivecycle.h"
#include "utcall.h"

using bench::Fail;

namespace {

struct TOptions {
  long Count = 10000;
  double Rate = 100;
  int TickMs = static_cast<int>(capture::TimerInterval.count());
};

TOptions ParseOptions(const QStringList& args) {
  TOptions options;
  for (int i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--count")) {
      options.Count = args[i + 1].toLong();
    } else if (args[i] == QLatin1String("--rate")) {
      options.Rate = args[i + 1].toDouble();
    } else if (args[i] == QLatin1String("--tick-ms")) {
      options.TickMs = args[i + 1].toInt();
    } else {
      break;
    }
  }
  if (args.size() % 2 != 0 || options.Count <= 0 || options.Rate <= 0 || options.TickMs <= 0)
    Fail(QStringLiteral("usage: window_bench [--count N] [--rate R] [--tick-ms T] (all positive)"));
  return options;
}

void Run(const TOptions& options) {
  QTemporaryDir work(QDir::tempPath() + QStringLiteral("/window-bench-XXXXXX"));
  testsupport::THostDatabase host(testsupport::TEngine::Sqlite, work.filePath(QStringLiteral("odbc")));
  bench::TSimulator simulator({QStringLiteral("--bitrate"), QStringLiteral("256000"),
                               QStringLiteral("--rate"), QString::number(options.Rate),
                               QStringLiteral("--count"), QString::number(options.Count),
                               QStringLiteral("--seed"), QStringLiteral("1")});
  qputenv("LOGCHAMADAS_COM1", simulator.Path().toLocal8Bit());

  const QString journalPath = work.filePath(QStringLiteral("journal.sqlite"));
  auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
  if (!journal->Open(journalPath)) Fail(journal->LastError());
  calls::TJournal probe(QStringLiteral("journal-probe"));
  if (!probe.Open(journalPath)) Fail(probe.LastError());
  QString boxText;
  auto* fmtCall = new window::TfmtCall(std::move(journal), journalPath, host.Settings(),
                                       [&boxText](QWidget&, const QString& text) {
                                         boxText = text;
                                         QApplication::exit(1);
                                       });
  fmtCall->show();
  QApplication::processEvents();
  const double idleMb = bench::StatusMb("VmRSS");
  fmtCall->findChild<QTimer*>(QStringLiteral("Timer"))->setInterval(options.TickMs);
  const QAbstractItemModel& grid = *fmtCall->findChild<QTableView*>(QStringLiteral("gr"))->model();

  const double cpuBefore = bench::CpuSeconds();
  const double threadCpuBefore = bench::ThreadCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  fmtCall->bb08Click();
  QTimer done;
  QObject::connect(&done, &QTimer::timeout, [&] {
    calls::TJournalCounts counts;
    if (grid.rowCount() >= options.Count && probe.Counts(counts) && counts.Waiting == 0)
      QApplication::exit(0);
  });
  done.start(100);
  const int status = boxText.isEmpty() ? QApplication::exec() : 1;
  const double cpu = bench::CpuSeconds() - cpuBefore;
  const double threadCpu = bench::ThreadCpuSeconds() - threadCpuBefore;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (status != 0) Fail(QStringLiteral("the window showed \"%1\"").arg(boxText));

  const auto perCall = [&options](double seconds) {
    return 1000.0 * seconds / static_cast<double>(options.Count);
  };
  const int stored = host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL"));
  if (stored != options.Count)
    Fail(QStringLiteral("TBCALL holds %1 calls of %2").arg(stored).arg(options.Count));
  std::printf(
      "%ld calls in %.1f s (%.0f a second, a tick every %d ms): CPU a call %.3f ms for the process, %.3f ms "
      "for "
      "the interface thread; resident memory %.1f MB before connecting, %.1f MB after the calls, peak %.1f "
      "MB\n",
      options.Count, wall, options.Rate, options.TickMs, perCall(cpu), perCall(threadCpu), idleMb,
      bench::StatusMb("VmRSS"), bench::StatusMb("VmHWM"));
  std::fflush(stdout);
  fmtCall->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

int main(int argc, char** argv) {
  return bench::OffScreenMain(argc, argv, "window_bench",
                              [](const QStringList& args) { Run(ParseOptions(args)); });
}
