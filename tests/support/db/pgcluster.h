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
  void Stop() const;
  void Start() const;
  // Used by benchmarks that run outside CTest.
  void Create() const;
  void Destroy() const;

  QString SocketFolder() const { return FFolder + QStringLiteral("/sock"); }
  static QString UserName() { return QStringLiteral("logtest"); }
  static QString Password() { return QStringLiteral("logtest-pw"); }

 private:
  void Run(const QString& command) const;
  QString FScript;
  QString FFolder;
};

}  // namespace testsupport
