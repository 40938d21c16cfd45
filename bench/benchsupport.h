// What the benchmarks share: timing and percentiles, the process's CPU and memory, made-up calls, the
// exchange simulator on a pseudo-terminal, the host databases to run against (SQLite, and a throwaway
// PostgreSQL cluster of the bench's own), and a way to make that server hang.
#pragma once

#include <QDate>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "callrecord.h"
#include "hostdatabase.h"
#include "journal.h"

namespace bench {

using TSteady = std::chrono::steady_clock;
using testsupport::TEngine;

[[noreturn]] void Fail(const QString& what);

double MillisecondsSince(TSteady::time_point start);
double MillisecondsOf(const std::function<void()>& work);
// The value below which this fraction of the values lie (0.5: the median, 1: the largest).
double Percentile(std::vector<double> values, double fraction);

// User and system CPU of the process so far, in seconds (children not included).
double CpuSeconds();
// The same for the calling thread alone.
double ThreadCpuSeconds();
// A figure of /proc/self/status in MB (VmRSS now, VmHWM the peak so far).
double StatusMb(const char* key);

// The i-th of a day's distinct calls, at i * 0.864 s after midnight of the day.
calls::TCallRecord MadeUpCall(int i, QDate day);
// The same call as a journal line: its own printed bytes, so no two are taken as sent again.
calls::TReceivedLine MadeUpLine(int i, QDate day);
// Lines first .. first + count - 1.
std::vector<calls::TReceivedLine> MadeUpLines(int first, int count, QDate day);
// Appends them, throwing when the journal fails or takes one as sent again.
void AppendAll(calls::TJournal& journal, const std::vector<calls::TReceivedLine>& lines);
// Appends count made-up lines, numbered from first, in transactions of batch lines.
void FillJournal(calls::TJournal& journal, int first, int count, int batch, QDate day);

// The cores and the load average, printed first: other work on the machine moves every figure.
void PrintMachine();

// The simulator with --pty and the given options; it keeps the pty open after its last line until
// terminated.
class TSimulator {
 public:
  explicit TSimulator(const QStringList& options);
  ~TSimulator();
  TSimulator(const TSimulator&) = delete;
  TSimulator& operator=(const TSimulator&) = delete;

  const QString& Path() const { return FPath; }
  // The lines it sent, once it is done sending.
  std::optional<long> LinesSent();

 private:
  QProcess FProcess;
  QString FPath;
  QString FErrors;
};

const char* EngineName(TEngine engine);
// "sqlite" and "postgres" as named on the command line; both when none is named. Throws on others.
std::vector<TEngine> EnginesNamed(const QStringList& names);
// Settings of the site's source for a child process that inherits the parent's ODBC environment.
calls::TStoreSettings ChildSettings(TEngine engine);

// A temporary folder for the run with the ODBC configuration in it, and for PostgreSQL a cluster made
// for the run and destroyed after it (whatever happens in between).
class TBenchHosts {
 public:
  explicit TBenchHosts(const char* name);
  QString OdbcFolder() const;
  QString Path(const QString& name) const { return FWork.filePath(name); }
  void ForEach(const std::vector<TEngine>& engines, const std::function<void(TEngine)>& run) const;

 private:
  QTemporaryDir FWork;
};

// Every process of the bench's PostgreSQL cluster stopped (SIGSTOP), as a hung server or a dead network
// path behaves; they go on (SIGCONT) when this ends, also when the bench fails.
class THungServer {
 public:
  THungServer();
  ~THungServer();
  THungServer(const THungServer&) = delete;
  THungServer& operator=(const THungServer&) = delete;
};

// Ctrl+C and SIGTERM only set a flag from then on, which a bench's loop checks (Interrupted()) to
// end through its normal clean-up: a hung server goes on and the cluster is removed.
void CatchInterrupts();
bool Interrupted();

}  // namespace bench
