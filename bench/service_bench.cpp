// The service and a window as its view, as a site runs them: `logchamadas --servico` as its own process
// with no display, reading a pseudo-terminal the bench writes one call a second to, storing into
// SQLite; the window off screen in this process, a view over the local socket. Reports the service's
// CPU time per call (user and system, from /proc) and the delay from a line's arrival on the line to
// its row in the view's grid (the service reads once a second, so up to a second is the tick itself).
//   service_bench [--count N]   (60 calls, one a second)
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "benchsupport.h"
#include "hostdatabase.h"
#include "offscreenmain.h"
#include "ptypair.h"
#include "serviceview.h"
#include "utcall.h"

using bench::Fail;
using bench::TSteady;

namespace {

// User and system CPU of another process so far, in seconds.
double ProcessCpuSeconds(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) Fail(QStringLiteral("cannot read %1").arg(stat.fileName()));
  // Fields 14 and 15 (utime, stime) after the command's closing parenthesis.
  const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
  return (fields[11].toDouble() + fields[12].toDouble()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

void Run(long count) {
  QTemporaryDir work(QDir::tempPath() + QStringLiteral("/service-bench-XXXXXX"));
  testsupport::THostDatabase host(testsupport::TEngine::Sqlite, work.filePath(QStringLiteral("odbc")));
  testsupport::TPty line;
  if (!line.IsOpen()) Fail(QString::fromStdString(line.Error()));
  const QString socket = work.filePath(QStringLiteral("service.sock"));
  QProcess service;
  service.setProcessChannelMode(QProcess::ForwardedChannels);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(QString::fromLatin1(display));
  environment.insert(QStringLiteral("LOGCHAMADAS_COM1"), QString::fromStdString(line.SlavePath()));
  environment.insert(QStringLiteral("STATE_DIRECTORY"), work.path());
  environment.insert(QStringLiteral("LOGCHAMADAS_SERVICO"), socket);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), work.path());
  environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), work.path());
  service.setProcessEnvironment(environment);
  service.start(QStringLiteral(LOGCHAMADAS_PROGRAM), {QStringLiteral("--servico")});
  if (!service.waitForStarted()) Fail(QStringLiteral("the service did not start"));

  auto view = std::make_unique<service::TServiceView>(socket);
  for (int i = 0; i < 50 && !view->Reach(std::chrono::milliseconds(200)); ++i)
    view = std::make_unique<service::TServiceView>(socket);
  auto* fmtCall = new window::TfmtCall(std::move(view));
  fmtCall->show();
  const QAbstractItemModel& grid = *fmtCall->findChild<QTableView*>(QStringLiteral("gr"))->model();
  QApplication::processEvents();

  std::vector<double> delays;
  TSteady::time_point sentAt;
  QObject::connect(&grid, &QAbstractItemModel::rowsInserted,
                   [&] { delays.push_back(bench::MillisecondsSince(sentAt)); });
  const double cpuBefore = ProcessCpuSeconds(service.processId());
  long sent = 0;
  // One a second on average, at any moment of the service's tick: 0.5 s to 1.5 s apart.
  QTimer exchange;
  exchange.setSingleShot(true);
  QRandomGenerator random(1);
  QObject::connect(&exchange, &QTimer::timeout, [&] {
    if (sent == count) return QApplication::exit(0);
    exchange.start(random.bounded(500, 1501));
    const std::string text = bench::MadeUpLine(static_cast<int>(sent), QDate::currentDate()).Bytes + "\r\n";
    sentAt = TSteady::now();
    if (!line.Write(text)) Fail(QStringLiteral("the line took no bytes"));
    ++sent;
  });
  exchange.start(1000);
  QApplication::exec();
  QTimer::singleShot(1500, [] { QApplication::exit(0); });
  QApplication::exec();
  const double cpu = ProcessCpuSeconds(service.processId()) - cpuBefore;
  const int stored = host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL"));
  std::printf(
      "%ld calls, one a second: %d stored; service CPU a call %.3f ms; view's delay from the line to "
      "the grid's row: median %.0f ms, p90 %.0f ms, largest %.0f ms (%zu rows seen)\n",
      count, stored, 1000.0 * cpu / static_cast<double>(count), bench::Percentile(delays, 0.5),
      bench::Percentile(delays, 0.9), bench::Percentile(delays, 1), delays.size());
  fmtCall->close();
  service.terminate();
  service.waitForFinished();
}

}  // namespace

int main(int argc, char** argv) {
  return bench::OffScreenMain(argc, argv, "service_bench", [](const QStringList& args) {
    const long count = args.size() == 2 && args[0] == QLatin1String("--count") ? args[1].toLong() : 60;
    if (count <= 0 || (!args.isEmpty() && args.size() != 2))
      Fail(QStringLiteral("usage: service_bench [--count N]"));
    Run(count);
  });
}
