#include "pgcluster.h"

#include <QProcess>
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

}  // namespace testsupport
