#include "benchsupport.h"

#include <sys/resource.h>

#include <QRegularExpression>
#include <fstream>
#include <stdexcept>
#include <string>

namespace bench {

namespace {

double StatusMb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::stod(line.substr(field.size())) / 1024.0;
  }
  return -1;
}

double UsageSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

void Fail(const QString& what) {
  throw std::runtime_error(what.toStdString());
}

double CpuSeconds() {
  return UsageSeconds(RUSAGE_SELF);
}

double ThreadCpuSeconds() {
  return UsageSeconds(RUSAGE_THREAD);
}

double CurrentMb() {
  return StatusMb("VmRSS:");
}

double PeakMb() {
  return StatusMb("VmHWM:");
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

}  // namespace bench
