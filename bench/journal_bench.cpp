// Commit time of a tick's lines in the journal (TJournal::Append: one transaction, WAL,
// synchronous=FULL) on this computer's disk, for a tick of 1 line and of 300 lines (aim: p99 under
// 30 ms). The journal is a fresh file in the folder given (default: bench-tmp next to this program, in
// the build tree); the folder's file system is printed, since tmpfs would make the figures meaningless.
// With --waiting-rows, instead: the waiting-calls query of every delivery pass over a journal of that
// many lines, all but 300 of them delivered.
//   journal_bench [--ticks N] [--folder DIR] [--waiting-rows ROWS]   (300 ticks)
#include <sys/vfs.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>
#include <stdexcept>

#include "benchsupport.h"
#include "delivery.h"

using namespace bench;

namespace {

constexpr long TmpfsMagic = 0x01021994;
constexpr long Ext4Magic = 0xef53;

QString FileSystemOf(const QString& folder) {
  struct statfs info {};
  if (statfs(QFile::encodeName(folder).constData(), &info) != 0) return QStringLiteral("unknown");
  if (info.f_type == TmpfsMagic) return QStringLiteral("tmpfs: memory, not a disk");
  if (info.f_type == Ext4Magic) return QStringLiteral("ext2/3/4 on disk");
  return QStringLiteral("file system type 0x%1").arg(info.f_type, 0, 16);
}

void BenchLinesATick(const QString& folder, int linesATick, int ticks) {
  const QString path = folder + QStringLiteral("/journal-bench-%1.sqlite").arg(linesATick);
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
  std::vector<double> times;
  {
    calls::TJournal journal(QStringLiteral("journal-bench"));
    if (!journal.Open(path)) throw std::runtime_error(journal.LastError().toStdString());
    const QDate day = QDate::currentDate();
    for (int tick = 0; tick < ticks; ++tick) {
      const std::vector<calls::TReceivedLine> lines = MadeUpLines(tick * linesATick, linesATick, day);
      times.push_back(MillisecondsOf([&] { AppendAll(journal, lines); }));
    }
  }
  std::printf("%3d lines a tick, %d ticks: commit p50 %.1f ms, p99 %.1f ms, max %.1f ms (aim p99 < 30 ms)\n",
              linesATick, ticks, Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1));
  std::fflush(stdout);
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
}

void BenchWaitingQuery(const QString& folder, int rows) {
  constexpr int Waiting = 300;
  const QString path = folder + QStringLiteral("/journal-bench-waiting.sqlite");
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
  std::vector<double> times;
  {
    calls::TJournal journal(QStringLiteral("journal-bench"));
    if (!journal.Open(path)) throw std::runtime_error(journal.LastError().toStdString());
    FillJournal(journal, 0, rows, 10000, QDate::currentDate());
    {
      QSqlQuery deliver(QSqlDatabase::database(QStringLiteral("journal-bench")));
      deliver.prepare(QStringLiteral("UPDATE TBDIAR SET SITU = 1, HORA_ENTR = HORA_RECE WHERE ID <= ?"));
      deliver.addBindValue(rows - Waiting);
      if (!deliver.exec()) throw std::runtime_error("cannot mark the lines delivered");
    }
    std::vector<calls::TWaitingCall> calls;
    for (int run = 0; run < 50; ++run) {
      times.push_back(MillisecondsOf([&] {
        if (!journal.Waiting(0, calls::TDelivery::BatchRows, calls) || calls.size() != Waiting)
          throw std::runtime_error("the waiting calls did not come back");
      }));
    }
  }
  std::printf("waiting-calls query over %d lines (%d waiting), 50 runs: p50 %.2f ms, p99 %.2f ms\n", rows,
              Waiting, Percentile(times, 0.5), Percentile(times, 0.99));
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  int ticks = 300;
  int waitingRows = 0;
  QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-tmp");
  for (int i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--ticks")) {
      ticks = args[i + 1].toInt();
    } else if (args[i] == QLatin1String("--folder")) {
      folder = args[i + 1];
    } else if (args[i] == QLatin1String("--waiting-rows")) {
      waitingRows = args[i + 1].toInt();
    }
  }
  if (ticks <= 0 || waitingRows < 0 || args.size() % 2 != 0) {
    std::fprintf(stderr, "usage: journal_bench [--ticks N] [--folder DIR] [--waiting-rows ROWS]\n");
    return 2;
  }
  try {
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot make " + folder.toStdString());
    folder = QDir(folder).absolutePath();
    PrintMachine();
    std::printf("journal in %s (%s)\n", qPrintable(folder), qPrintable(FileSystemOf(folder)));
    if (waitingRows > 0) {
      BenchWaitingQuery(folder, waitingRows);
    } else {
      for (const int lines : {1, 300}) BenchLinesATick(folder, lines, ticks);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "journal_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
