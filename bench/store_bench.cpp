// Call store figures on SQLite and on a throwaway PostgreSQL cluster: applying 300 pending calls in
// one apply (aim: under 100 ms) and opening a day of 100,000 calls (aim: under 1 s and 64 MB).
//   store_bench [sqlite|postgres]...   (both when none is named)
#include <malloc.h>
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "callstore.h"
#include "hostdatabase.h"
#include "pgcluster.h"
#include "storesettings.h"

using testsupport::TEngine;
using testsupport::THostDatabase;

namespace {

constexpr int PendingCalls = 300;
constexpr int DayCalls = 100000;
constexpr int Runs = 5;

double MillisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A figure of /proc/self/status in kB (VmRSS, VmHWM).
long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}

calls::TCallRecord CallNumber(int i) {
  calls::TCallRecord call;
  call.DATA = {2026, 3, 14, (i / 3600) % 24, (i / 60) % 60, i % 60};
  call.RAMA = std::to_string(200 + i % 50);
  call.NUME_DISC = "02155" + std::to_string(5000000 + i);
  call.DURA = "00:0" + std::to_string(i % 10) + ":15";
  call.SENH = "1234";
  call.TRON = "0" + std::to_string(i % 8);
  return call;
}

void Check(bool done, const calls::TCallStore& store, const char* what) {
  if (!done) throw std::runtime_error(std::string(what) + ": " + store.LastError().toStdString());
}

void BenchApply(THostDatabase& host, const char* engine) {
  std::vector<double> times;
  for (int run = 0; run < Runs; ++run) {
    host.Exec(QStringLiteral("DELETE FROM TBCALL"));
    calls::TCallStore store(host.Settings(QStringLiteral("bench-apply")));
    Check(store.Connect(), store, "connect");
    host.BreakInserts();
    for (int i = 0; i < PendingCalls - 1; ++i) store.InsertCall(CallNumber(i));
    host.MendInserts();
    times.push_back(
        MillisecondsOf([&] { Check(store.InsertCall(CallNumber(PendingCalls)), store, "apply"); }));
    if (host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")) != PendingCalls) {
      throw std::runtime_error("the apply did not store every pending call");
    }
  }
  std::printf("%-10s apply %d pending calls: median %.1f ms, best %.1f ms (%d runs; aim < 100 ms)\n", engine,
              PendingCalls, Median(times), *std::min_element(times.begin(), times.end()), Runs);
}

void FillDay(THostDatabase& host) {
  host.Exec(QStringLiteral("DELETE FROM TBCALL"));
  std::vector<QVariantList> rows;
  rows.reserve(DayCalls);
  const QDateTime midnight(QDate(2026, 3, 14), QTime(0, 0));
  for (int i = 0; i < DayCalls; ++i) {
    const calls::TCallRecord call = CallNumber(i);
    rows.push_back({QString::fromStdString(call.RAMA), midnight.addMSecs(i * 864LL),
                    QString::fromStdString(call.TRON), QString::fromStdString(call.DURA),
                    QString::fromStdString(call.NUME_DISC), QString::fromStdString(call.SENH)});
  }
  host.ExecBatch(
      QStringLiteral(
          "INSERT INTO TBCALL (RAMA, DATA, TRON, DURA, NUME_DISC, SENH) VALUES (?, ?, ?, ?, ?, ?)"),
      rows);
}

// Run in a process of its own (store_bench --open ENGINE), over the day its parent stored, so the
// peak is that of the open alone and not hidden by memory the fill freed.
void BenchOpenDay(const calls::TStoreSettings& settings, const char* engine) {
  std::vector<double> times;
  long growth = 0;
  for (int run = 0; run < Runs; ++run) {
    calls::TCallStore store(settings);
    Check(store.Connect(), store, "connect");
    const long before = StatusKb("VmRSS");
    times.push_back(MillisecondsOf(
        [&] { Check(store.OpenDayList(QDateTime(QDate(2026, 3, 14), QTime(0, 0))), store, "open"); }));
    if (run == 0) growth = StatusKb("VmHWM") - before;
    if (store.dsCall().rowCount() != DayCalls) {
      throw std::runtime_error("the list does not hold the whole day");
    }
  }
  std::printf(
      "%-10s open a day of %d calls: median %.0f ms, best %.0f ms (%d runs; aim < 1 s); peak memory of the "
      "first open %.1f MB (aim < 64 MB), whole process %.1f MB\n",
      engine, DayCalls, Median(times), *std::min_element(times.begin(), times.end()), Runs,
      static_cast<double>(growth) / 1024.0, static_cast<double>(StatusKb("VmHWM")) / 1024.0);
  std::fflush(stdout);
}

void BenchEngine(TEngine engine, const QString& folder) {
  const char* name = engine == TEngine::Sqlite ? "SQLite" : "PostgreSQL";
  THostDatabase host(engine, folder);
  BenchApply(host, name);
  FillDay(host);
  std::fflush(stdout);
  const QString engineArgument =
      engine == TEngine::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgres");
  if (QProcess::execute(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--open"), engineArgument}) != 0) {
    throw std::runtime_error("the open benchmark failed");
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList engines = app.arguments().mid(1);
  if (engines.size() == 2 && engines[0] == QLatin1String("--open")) {
    // The parent has pointed unixODBC at the source (ODBCSYSINI, ODBCINI, ODBCSEARCH).
    calls::TStoreSettings settings = calls::DefaultStoreSettings();
    const bool postgres = engines[1] == QLatin1String("postgres");
    if (postgres) {
      settings.UserName = testsupport::TPostgresCluster::UserName();
      settings.Password = testsupport::TPostgresCluster::Password();
    }
    try {
      BenchOpenDay(settings, postgres ? "PostgreSQL" : "SQLite");
    } catch (const std::exception& error) {
      std::fprintf(stderr, "store_bench: %s\n", error.what());
      return 1;
    }
    return 0;
  }
  if (engines.isEmpty()) engines = {QStringLiteral("sqlite"), QStringLiteral("postgres")};
  QTemporaryDir work(QDir::tempPath() + QStringLiteral("/store-bench-XXXXXX"));
  try {
    for (const QString& engine : engines) {
      if (engine == QLatin1String("sqlite")) {
        BenchEngine(TEngine::Sqlite, work.filePath(QStringLiteral("odbc")));
      } else if (engine == QLatin1String("postgres")) {
        // The cluster's folder must be reachable by the postgres user when run as root.
        const QString folder = work.filePath(QStringLiteral("postgres"));
        QFile::setPermissions(work.path(),
                              QFile::permissions(work.path()) | QFile::ExeOther | QFile::ReadOther);
        qputenv("LOGCHAMADAS_PG_CLUSTER", LOGCHAMADAS_PG_CLUSTER_SCRIPT);
        qputenv("LOGCHAMADAS_PG_DIR", QFile::encodeName(folder));
        const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
        cluster.Create();
        try {
          BenchEngine(TEngine::Postgres, work.filePath(QStringLiteral("odbc")));
        } catch (...) {
          cluster.Destroy();
          throw;
        }
        cluster.Destroy();
      } else {
        std::fprintf(stderr, "usage: store_bench [sqlite|postgres]...\n");
        return 2;
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "store_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
