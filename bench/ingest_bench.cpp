// End to end: the exchange simulator sends call lines at 256,000 bit/s on a pseudo-terminal, and the
// receive cycle ticks once a second, as the window's timer would, storing into SQLite or PostgreSQL.
// Reports calls stored over calls sent, each tick's busy time, process CPU and peak memory.
//   ingest_bench [--seconds S] [--rate R] [sqlite|postgres]...   (60 s, 300 calls a second, both)
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "benchsupport.h"
#include "callstore.h"
#include "hostdatabase.h"
#include "pgcluster.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"

using bench::CpuSeconds;
using bench::Fail;
using bench::PeakMb;
using bench::TSimulator;
using testsupport::TEngine;
using TSteady = std::chrono::steady_clock;

namespace {

struct TOptions {
  int Seconds = 60;
  double Rate = 300;
  QStringList Engines;
};

class TCountingLog : public window::TLogSink {
 public:
  void AppendLine(const QString&) override { ++Lines; }
  void Clear() override {}
  long Lines = 0;
};

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[at];
}

void Ingest(TEngine engine, const QString& odbcFolder, const TOptions& options) {
  const char* name = engine == TEngine::Sqlite ? "SQLite" : "PostgreSQL";
  testsupport::THostDatabase host(engine, odbcFolder);
  calls::TCallStore store(host.Settings(QStringLiteral("bench-ingest")));
  if (!store.Connect()) Fail(store.LastError());

  TSimulator simulator({QStringLiteral("--bitrate"), QStringLiteral("256000"), QStringLiteral("--rate"),
                        QString::number(options.Rate), QStringLiteral("--duration"),
                        QString::number(options.Seconds), QStringLiteral("--seed"), QStringLiteral("1")});
  qputenv("LOGCHAMADAS_COM1", simulator.Path().toLocal8Bit());
  auto watch = std::make_unique<window::TReadWatch>(serial::MakeSystemCommLayer());
  window::TReadWatch& watched = *watch;
  serial::TSerialPort port(std::move(watch));
  port.SetCommPort(serial::TCommPort::cpCOM1);
  port.SetBaudRate(serial::TBaudRate::br256000);
  TCountingLog log;
  window::TReceiveCycle cycle(port, watched, store, log, [] { return QDateTime::currentDateTime(); });
  port.AfterReceive = [&cycle](serial::TSerialPort&, const std::string& data) { cycle.SPAfterReceive(data); };
  if (!port.OpenPort()) Fail(QStringLiteral("cannot open ") + simulator.Path());
  cycle.SetDataAtual(QDate::currentDate().startOfDay());
  if (!store.OpenDayList(cycle.FDataAtual())) Fail(store.LastError());

  std::vector<double> busy;
  std::vector<double> linesPerTick;
  const double cpuBefore = CpuSeconds();
  const auto runStart = TSteady::now();
  std::optional<long> sent;
  long quietTicks = 0;
  // Ticks go on after the simulator is done until the line stays quiet: what it sent is drained.
  for (auto due = TSteady::now(); !sent || quietTicks < 2; due += window::TimerInterval) {
    std::this_thread::sleep_until(due);
    const long logged = log.Lines;
    const auto start = TSteady::now();
    cycle.TimerTimer();
    busy.push_back(std::chrono::duration<double, std::milli>(TSteady::now() - start).count());
    linesPerTick.push_back(static_cast<double>(log.Lines - logged));
    quietTicks = log.Lines == logged ? quietTicks + 1 : 0;
    if (!sent) sent = simulator.LinesSent();
    // A tick longer than the interval delays the next; missed ticks are not made up.
    due = std::max(due, TSteady::now() - window::TimerInterval);
  }
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(TSteady::now() - runStart).count();
  const int stored = host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL"));

  std::printf(
      "%-10s sent %ld, stored %d (%.2f %%), logged %ld; %zu ticks, lines a tick median %.0f, max %.0f; busy "
      "median %.1f ms, p99 %.1f ms, max "
      "%.1f "
      "ms (aim p99 < 250 ms); process CPU %.1f s (%.1f %% of the run); peak memory %.1f MB\n",
      name, *sent, stored, 100.0 * stored / static_cast<double>(std::max(1L, *sent)), log.Lines, busy.size(),
      Percentile(linesPerTick, 0.5), Percentile(linesPerTick, 1.0), Percentile(busy, 0.5),
      Percentile(busy, 0.99), *std::max_element(busy.begin(), busy.end()), cpu, 100.0 * cpu / wall, PeakMb());
  std::fflush(stdout);
}

TOptions ParseOptions(const QStringList& args) {
  TOptions options;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--seconds") && i + 1 < args.size()) {
      options.Seconds = args[++i].toInt();
    } else if (args[i] == QLatin1String("--rate") && i + 1 < args.size()) {
      options.Rate = args[++i].toDouble();
    } else if (args[i] == QLatin1String("sqlite") || args[i] == QLatin1String("postgres")) {
      options.Engines.append(args[i]);
    } else {
      Fail(QStringLiteral("usage: ingest_bench [--seconds S] [--rate R] [sqlite|postgres]..."));
    }
  }
  if (options.Seconds <= 0 || options.Rate <= 0)
    Fail(QStringLiteral("--seconds and --rate must be positive"));
  if (options.Engines.isEmpty()) options.Engines = {QStringLiteral("sqlite"), QStringLiteral("postgres")};
  return options;
}

void Run(const TOptions& options) {
  QTemporaryDir work(QDir::tempPath() + QStringLiteral("/ingest-bench-XXXXXX"));
  // The cluster's folder must be reachable by the postgres user when run as root.
  QFile::setPermissions(work.path(), QFile::permissions(work.path()) | QFile::ExeOther | QFile::ReadOther);
  qputenv("LOGCHAMADAS_PG_CLUSTER", LOGCHAMADAS_PG_CLUSTER_SCRIPT);
  qputenv("LOGCHAMADAS_PG_DIR", QFile::encodeName(work.filePath(QStringLiteral("postgres"))));
  const QString odbc = work.filePath(QStringLiteral("odbc"));
  for (const QString& engine : options.Engines) {
    if (engine == QLatin1String("sqlite")) {
      Ingest(TEngine::Sqlite, odbc, options);
      continue;
    }
    const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
    cluster.Create();
    try {
      Ingest(TEngine::Postgres, odbc, options);
    } catch (...) {
      cluster.Destroy();
      throw;
    }
    cluster.Destroy();
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    Run(ParseOptions(app.arguments().mid(1)));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ingest_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
