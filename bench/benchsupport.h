// What the benchmarks share: the exchange simulator on a pseudo-terminal of its own, and the process's
// CPU time and memory.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

namespace bench {

[[noreturn]] void Fail(const QString& what);

// User and system CPU time of this process so far, in seconds (children not included).
double CpuSeconds();
// The same for the calling thread alone.
double ThreadCpuSeconds();
// Resident memory of this process in MB: now, and the peak so far.
double CurrentMb();
double PeakMb();

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

}  // namespace bench
