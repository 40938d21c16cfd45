#include "pgcluster.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <stdexcept>

namespace testsupport {

TPostgresCluster TPostgresCluster::FromEnvironment() {
  const QString script = qEnvironmentVariable("LOGCHAMADAS_PG_CLUSTER");
  const QString folder = qEnvironmentVariable("LOGCHAMADAS_PG_DIR");
  if (script.isEmpty() || folder.isEmpty()) {
    throw std::runtime_error(
        "no PostgreSQL cluster: run under CTest with the \"postgres\" fixture "
        "(logchamadas_requires_postgres)");
  }
  return {script, folder};
}

TPostgresCluster::TPostgresCluster(QString script, QString folder)
    : FScript(std::move(script)), FFolder(std::move(folder)) {}

#ifdef _WIN32
// Wine starts a Linux program but can neither wait for it nor read its exit code: run-test's cluster
// agent runs the script instead. The request is a file holding the command; the reply, once complete,
// holds the exit code on its first line and then the output.
void TPostgresCluster::Run(const QString& command) const {
  const QString agent = QStringLiteral("Z:") + qEnvironmentVariable("LOGCHAMADAS_PG_AGENT");
  const auto fail = [&](const QString& why) {
    throw std::runtime_error(QStringLiteral("pg-cluster %1 %2 failed: %3").arg(command, FFolder, why).toStdString());
  };
  QFile request(agent + QStringLiteral("/request.part"));
  if (!request.open(QIODevice::WriteOnly | QIODevice::Truncate) || request.write(command.toUtf8()) < 0) {
    fail(QStringLiteral("no cluster agent at %1 (run the test through run-test)").arg(agent));
  }
  request.close();
  if (!request.rename(agent + QStringLiteral("/request"))) fail(request.errorString());
  QFile reply(agent + QStringLiteral("/reply"));
  QDeadlineTimer patience(60000);
  while (!reply.exists()) {
    if (patience.hasExpired()) fail(QStringLiteral("the cluster agent did not answer"));
    QThread::msleep(20);
  }
  if (!reply.open(QIODevice::ReadOnly)) fail(reply.errorString());
  const QString status = QString::fromUtf8(reply.readLine()).trimmed();
  const QString output = QString::fromLocal8Bit(reply.readAll());
  reply.remove();
  if (status != QStringLiteral("0")) fail(output);
}
#else
void TPostgresCluster::Run(const QString& command) const {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(FScript, {command, FFolder});
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    throw std::runtime_error(QStringLiteral("pg-cluster %1 %2 failed: %3")
                                 .arg(command, FFolder, QString::fromLocal8Bit(process.readAll()))
                                 .toStdString());
  }
}
#endif

}  // namespace testsupport
