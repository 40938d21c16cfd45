// The throwaway PostgreSQL cluster that CTest's "postgres" fixture creates for a test run; tests that
// require the fixture find it through the environment the fixture's helper sets (see CMakeLists.txt).
#pragma once

#include <QString>

namespace testsupport {

class TPostgresCluster {
 public:
  // Throws std::runtime_error when the test was not given a cluster.
  static TPostgresCluster FromEnvironment();
  TPostgresCluster(QString script, QString folder);

  // Fast shutdown (open connections are cut) and start again; both wait until done.
  void Stop() const { Run(QStringLiteral("stop")); }
  void Start() const { Run(QStringLiteral("start")); }
  // Every server process stopped (SIGSTOP) and resumed: a server that hangs.
  void Freeze() const { Run(QStringLiteral("freeze")); }
  void Thaw() const { Run(QStringLiteral("thaw")); }
  // Used by benchmarks that run outside CTest.
  void Create() const { Run(QStringLiteral("create")); }
  void Destroy() const { Run(QStringLiteral("destroy")); }

  QString SocketFolder() const { return FFolder + QStringLiteral("/sock"); }
  static QString UserName() { return QStringLiteral("logtest"); }
  static QString Password() { return QStringLiteral("logtest-pw"); }

 private:
  void Run(const QString& command) const;
  QString FScript;
  QString FFolder;
};

}  // namespace testsupport
