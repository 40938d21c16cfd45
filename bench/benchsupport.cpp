#include "benchsupport.h"

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "pgcluster.h"
#include "storesettings.h"

namespace bench {

void Fail(const QString& what) {
  throw std::runtime_error(what.toStdString());
}

double MillisecondsSince(TSteady::time_point start) {
  return std::chrono::duration<double, std::milli>(TSteady::now() - start).count();
}

double MillisecondsOf(const std::function<void()>& work) {
  const auto start = TSteady::now();
  work();
  return MillisecondsSince(start);
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

namespace {

double UsageSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

double CpuSeconds() {
  return UsageSeconds(RUSAGE_SELF);
}

double ThreadCpuSeconds() {
  return UsageSeconds(RUSAGE_THREAD);
}

double StatusMb(const char* key) {
  const std::string prefix = std::string(key) + ":";
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size())) / 1024.0;
  }
  return -1;
}

calls::TCallRecord MadeUpCall(int i, QDate day) {
  const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>((i * 864LL) % 86400000));
  calls::TCallRecord call;
  call.DATA = {day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()};
  call.RAMA = std::to_string(200 + i % 50);
  call.NUME_DISC = "02155" + std::to_string(5000000 + i);
  call.DURA = "00:0" + std::to_string(i % 10) + ":15";
  call.SENH = "1234";
  call.TRON = "0" + std::to_string(i % 8);
  return call;
}

calls::TReceivedLine MadeUpLine(int i, QDate day) {
  calls::TCallRecord call = MadeUpCall(i, day);
  const QString printed =
      QStringLiteral("%1%2:%3:%4  %5 %6      %7%8")
          .arg(day.toString(QStringLiteral("dd/MM/yy")))
          .arg(call.DATA.Hour, 2, 10, QLatin1Char('0'))
          .arg(call.DATA.Minute, 2, 10, QLatin1Char('0'))
          .arg(call.DATA.Second, 2, 10, QLatin1Char('0'))
          .arg(QString::fromStdString(call.TRON), QString::fromStdString(call.RAMA).leftJustified(4),
               QString::fromStdString(call.DURA), QString::fromStdString(call.NUME_DISC))
          .leftJustified(76) +
      QString::fromStdString(call.SENH);
  return {day.startOfDay().addMSecs(i * 864LL), printed.toStdString(), std::move(call)};
}

std::vector<calls::TReceivedLine> MadeUpLines(int first, int count, QDate day) {
  std::vector<calls::TReceivedLine> lines;
  for (int i = first; i < first + count; ++i) lines.push_back(MadeUpLine(i, day));
  return lines;
}

void AppendAll(calls::TJournal& journal, const std::vector<calls::TReceivedLine>& lines) {
  std::vector<calls::TJournaled> journaled;
  if (!journal.Append(lines, journaled)) throw std::runtime_error(journal.LastError().toStdString());
  if (std::any_of(journaled.begin(), journaled.end(), [](const calls::TJournaled& j) { return j.Resent; })) {
    throw std::runtime_error("a made-up line was taken as sent again");
  }
}

void FillJournal(calls::TJournal& journal, int first, int count, int batch, QDate day) {
  for (int done = 0; done < count; done += batch) {
    AppendAll(journal, MadeUpLines(first + done, std::min(batch, count - done), day));
  }
}

void PrintMachine() {
  QFile load(QStringLiteral("/proc/loadavg"));
  const QByteArray average =
      load.open(QIODevice::ReadOnly) ? load.readAll().trimmed() : QByteArray("unknown");
  std::printf("machine: %u cores, load average %s\n", std::thread::hardware_concurrency(),
              average.constData());
  std::fflush(stdout);
}

TSimulator::TSimulator(const QStringList& options) {
  FProcess.start(QStringLiteral(LOGCHAMADAS_EXCHANGESIM), QStringList{QStringLiteral("--pty")} + options);
  if (!FProcess.waitForReadyRead(10000)) Fail(QStringLiteral("the simulator gave no pty"));
  FPath = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
}

TSimulator::~TSimulator() {
  FProcess.terminate();
  FProcess.waitForFinished(5000);
}

std::optional<long> TSimulator::LinesSent() {
  FProcess.waitForReadyRead(0);
  FErrors += QString::fromLocal8Bit(FProcess.readAllStandardError());
  if (!FErrors.contains(QLatin1String("done;"))) return std::nullopt;
  const auto sent = QRegularExpression(QStringLiteral("(\\d+) lines,")).match(FErrors);
  if (!sent.hasMatch()) Fail(QStringLiteral("the simulator did not say what it sent: ") + FErrors);
  return sent.captured(1).toLong();
}

const char* EngineName(TEngine engine) {
  return engine == TEngine::Sqlite ? "SQLite" : "PostgreSQL";
}

std::vector<TEngine> EnginesNamed(const QStringList& names) {
  if (names.isEmpty()) return {TEngine::Sqlite, TEngine::Postgres};
  std::vector<TEngine> engines;
  for (const QString& name : names) {
    if (name == QLatin1String("sqlite")) {
      engines.push_back(TEngine::Sqlite);
    } else if (name == QLatin1String("postgres")) {
      engines.push_back(TEngine::Postgres);
    } else {
      throw std::runtime_error("unknown engine " + name.toStdString() + " (sqlite or postgres)");
    }
  }
  return engines;
}

calls::TStoreSettings ChildSettings(TEngine engine) {
  calls::TStoreSettings settings = calls::DefaultStoreSettings();
  if (engine == TEngine::Postgres) {
    settings.UserName = testsupport::TPostgresCluster::UserName();
    settings.Password = testsupport::TPostgresCluster::Password();
  }
  return settings;
}

TBenchHosts::TBenchHosts(const char* name)
    : FWork(QDir::tempPath() + QStringLiteral("/%1-XXXXXX").arg(name)) {
  if (!FWork.isValid()) throw std::runtime_error("no temporary folder: " + FWork.errorString().toStdString());
  // The cluster's folder must be reachable by the postgres user when run as root.
  QFile::setPermissions(FWork.path(), QFile::permissions(FWork.path()) | QFile::ExeOther | QFile::ReadOther);
  qputenv("LOGCHAMADAS_PG_CLUSTER", LOGCHAMADAS_PG_CLUSTER_SCRIPT);
  qputenv("LOGCHAMADAS_PG_DIR", QFile::encodeName(FWork.filePath(QStringLiteral("postgres"))));
}

QString TBenchHosts::OdbcFolder() const {
  return FWork.filePath(QStringLiteral("odbc"));
}

void TBenchHosts::ForEach(const std::vector<TEngine>& engines,
                          const std::function<void(TEngine)>& run) const {
  for (const TEngine engine : engines) {
    if (engine == TEngine::Sqlite) {
      run(engine);
      continue;
    }
    const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
    cluster.Create();
    try {
      run(engine);
    } catch (...) {
      cluster.Destroy();
      throw;
    }
    cluster.Destroy();
  }
}

THungServer::THungServer() {
  testsupport::TPostgresCluster::FromEnvironment().Freeze();
}

THungServer::~THungServer() {
  try {
    testsupport::TPostgresCluster::FromEnvironment().Thaw();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "the server could not be resumed: %s\n", error.what());
  }
}

namespace {

std::atomic<bool> InterruptSeen{false};  // lock-free, so safe in a handler

extern "C" void NoteInterrupt(int) {
  InterruptSeen = true;
}

}  // namespace

void CatchInterrupts() {
  std::signal(SIGINT, NoteInterrupt);
  std::signal(SIGTERM, NoteInterrupt);
}

bool Interrupted() {
  return InterruptSeen;
}

}  // namespace bench
