// Call store figures on SQLite and on a throwaway PostgreSQL cluster: inserting 300 calls in one
// transaction (aim: under 100 ms) and reading a day of 100,000 calls (aim: under 1 s and 64 MB).
//   store_bench [sqlite|postgres]...   (both when none is named)
#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "benchsupport.h"
#include "callrow.h"
#include "callstore.h"
#include "storesettings.h"

using namespace bench;

namespace {

constexpr int InsertedCalls = 300;
constexpr int DayCalls = 100000;
constexpr int Runs = 5;
const QDate Day(2026, 3, 14);

void Check(bool done, const calls::TCallStore& store, const char* what) {
  if (!done) throw std::runtime_error(std::string(what) + ": " + store.LastError().toStdString());
}

void BenchInsert(testsupport::THostDatabase& host, TEngine engine) {
  std::vector<calls::TCallRow> rows;
  for (int i = 0; i < InsertedCalls; ++i) rows.push_back(calls::CallRowFrom(MadeUpCall(i, Day)));
  std::vector<const calls::TCallRow*> batch;
  for (const calls::TCallRow& row : rows) batch.push_back(&row);
  calls::TCallStore store(host.Settings(QStringLiteral("bench-insert")));
  Check(store.Connect(), store, "connect");
  std::vector<double> times;
  for (int run = 0; run < Runs; ++run) {
    host.Exec(QStringLiteral("DELETE FROM TBCALL"));
    calls::TInsertOutcome outcome{};
    times.push_back(MillisecondsOf([&] { outcome = store.InsertCalls(batch); }));
    Check(outcome == calls::TInsertOutcome::ioStored, store, "insert");
    if (host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")) != InsertedCalls) {
      throw std::runtime_error("the insert did not store every call");
    }
  }
  std::printf(
      "%-10s insert %d calls in one transaction: median %.1f ms, best %.1f ms (%d runs; aim < 100 ms)\n",
      EngineName(engine), InsertedCalls, Percentile(times, 0.5), Percentile(times, 0), Runs);
}

void FillDay(testsupport::THostDatabase& host) {
  host.Exec(QStringLiteral("DELETE FROM TBCALL"));
  std::vector<QVariantList> rows;
  rows.reserve(DayCalls);
  for (int i = 0; i < DayCalls; ++i) {
    const calls::TCallRecord call = MadeUpCall(i, Day);
    rows.push_back({QString::fromStdString(call.RAMA), Day.startOfDay().addMSecs(i * 864LL),
                    QString::fromStdString(call.TRON), QString::fromStdString(call.DURA),
                    QString::fromStdString(call.NUME_DISC), QString::fromStdString(call.SENH)});
  }
  host.ExecBatch(
      QStringLiteral(
          "INSERT INTO TBCALL (RAMA, DATA, TRON, DURA, NUME_DISC, SENH) VALUES (?, ?, ?, ?, ?, ?)"),
      rows);
}

// Run in a process of its own (store_bench --read ENGINE), over the day its parent stored, so the
// peak is that of the read alone and not hidden by memory the fill freed.
void BenchReadDay(TEngine engine) {
  std::vector<double> times;
  double growth = 0;
  calls::TCallStore store(ChildSettings(engine));
  Check(store.Connect(), store, "connect");
  for (int run = 0; run < Runs; ++run) {
    calls::TRowBlocks rows;
    const double before = StatusMb("VmRSS");
    times.push_back(MillisecondsOf([&] { Check(store.ReadDay(Day.startOfDay(), rows), store, "read"); }));
    if (run == 0) growth = StatusMb("VmHWM") - before;
    if (rows.size() != DayCalls) throw std::runtime_error("the read did not bring the whole day");
  }
  std::printf(
      "%-10s read a day of %d calls: median %.0f ms, best %.0f ms (%d runs; aim < 1 s); peak memory of the "
      "first read %.1f MB (aim < 64 MB), whole process %.1f MB\n",
      EngineName(engine), DayCalls, Percentile(times, 0.5), Percentile(times, 0), Runs, growth,
      StatusMb("VmHWM"));
  std::fflush(stdout);
}

void BenchEngine(TEngine engine, const TBenchHosts& hosts) {
  testsupport::THostDatabase host(engine, hosts.OdbcFolder());
  BenchInsert(host, engine);
  FillDay(host);
  std::fflush(stdout);
  // The child inherits the ODBC environment the host database set.
  const QString name = engine == TEngine::Sqlite ? QStringLiteral("sqlite") : QStringLiteral("postgres");
  if (QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--read"), name}) != 0) {
    throw std::runtime_error("the read benchmark failed");
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  try {
    if (args.size() == 2 && args[0] == QLatin1String("--read")) {
      BenchReadDay(EnginesNamed({args[1]}).front());
      return 0;
    }
    PrintMachine();
    const TBenchHosts hosts("store-bench");
    hosts.ForEach(EnginesNamed(args), [&](TEngine engine) { BenchEngine(engine, hosts); });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "store_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
