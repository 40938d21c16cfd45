// A host table that refuses every call (a trigger of the host system) while calls wait in the journal:
// the insert attempts the server sees, step by step of the database worker's back-off, on a throwaway
// PostgreSQL cluster. The trigger counts each attempt in a sequence, which no rollback undoes.
//   refusal_bench [--calls N] [--seconds S]   (10,000 calls, 40 s)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <stdexcept>

#include "benchsupport.h"
#include "hostworker.h"

using namespace bench;

namespace {

void BenchRefusals(const TBenchHosts& hosts, int calls, int seconds) {
  testsupport::THostDatabase host(TEngine::Postgres, hosts.OdbcFolder());
  host.Exec(QStringLiteral("CREATE SEQUENCE tbcall_attempts"));
  host.Exec(
      QStringLiteral("CREATE FUNCTION tbcall_count_and_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                     "PERFORM nextval('tbcall_attempts'); RAISE EXCEPTION 'refused by the bench'; END $$"));
  host.Exec(
      QStringLiteral("CREATE TRIGGER tbcall_refuse BEFORE INSERT ON tbcall FOR EACH ROW EXECUTE FUNCTION "
                     "tbcall_count_and_refuse()"));
  const QString journalPath = hosts.Path(QStringLiteral("journal.sqlite"));
  {
    calls::TJournal journal(QStringLiteral("journal-fill"));
    if (!journal.Open(journalPath)) throw std::runtime_error(journal.LastError().toStdString());
    FillJournal(journal, 0, calls, 10000, QDate::currentDate());
  }
  const auto attempts = [&host] {
    return host.Count(
        QStringLiteral("SELECT CASE WHEN is_called THEN last_value ELSE 0 END FROM tbcall_attempts"));
  };

  std::printf("every insert refused, %d calls waiting, %d s:\n", calls, seconds);
  service::THostWorker worker(host.Settings(QStringLiteral("bench-refusal")), journalPath,
                             [] { return QDateTime::currentDateTime(); });
  QElapsedTimer clock;
  clock.start();
  // A step's attempts come in a burst; the steps lie a second or more apart.
  int counted = 0;
  int step = 0;
  qint64 lastChange = -1;
  int stepAttempts = 0;
  while (clock.elapsed() < seconds * 1000LL && !Interrupted()) {
    QThread::msleep(50);
    const int now = attempts();
    if (now != counted) {
      if (lastChange < 0 || clock.elapsed() - lastChange > 500) {
        if (lastChange >= 0) std::printf("  step %d: %d attempts\n", step, stepAttempts);
        ++step;
        stepAttempts = 0;
        std::printf("  step %d begins at %.1f s\n", step, clock.elapsed() / 1000.0);
      }
      stepAttempts += now - counted;
      counted = now;
      lastChange = clock.elapsed();
    }
  }
  if (lastChange >= 0) std::printf("  step %d: %d attempts\n", step, stepAttempts);
  std::printf("  %d attempts in %d steps\n", counted, step);
  std::fflush(stdout);
  worker.Stop(std::chrono::seconds(60));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  int calls = 10000;
  int seconds = 40;
  for (int i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--calls")) {
      calls = args[i + 1].toInt();
    } else if (args[i] == QLatin1String("--seconds")) {
      seconds = args[i + 1].toInt();
    }
  }
  if (calls <= 0 || seconds <= 0 || args.size() % 2 != 0) {
    std::fprintf(stderr, "usage: refusal_bench [--calls N] [--seconds S]\n");
    return 2;
  }
  try {
    CatchInterrupts();
    PrintMachine();
    const TBenchHosts hosts("refusal-bench");
    hosts.ForEach({TEngine::Postgres}, [&](TEngine) { BenchRefusals(hosts, calls, seconds); });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "refusal_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
