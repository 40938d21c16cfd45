// Commit time of a tick's lines in the journal (TJournal::Append: one transaction, WAL,
// synchronous=FULL) on this computer's disk, for a tick of 1 line and of 300 lines (aim: p99 under
// 30 ms). The journal is a fresh file in the folder given (default: bench-tmp next to this program, in
// the build tree); the folder's file system is printed, since tmpfs would make the figures meaningless.
//   journal_bench [--ticks N] [--folder DIR]   (300 ticks)
#include <sys/vfs.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <stdexcept>

#include "benchsupport.h"

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

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  int ticks = 300;
  QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-tmp");
  for (int i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--ticks")) {
      ticks = args[i + 1].toInt();
    } else if (args[i] == QLatin1String("--folder")) {
      folder = args[i + 1];
    }
  }
  if (ticks <= 0 || args.size() % 2 != 0) {
    std::fprintf(stderr, "usage: journal_bench [--ticks N] [--folder DIR]\n");
    return 2;
  }
  try {
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot make " + folder.toStdString());
    folder = QDir(folder).absolutePath();
    PrintMachine();
    std::printf("journal in %s (%s)\n", qPrintable(folder), qPrintable(FileSystemOf(folder)));
    for (const int lines : {1, 300}) BenchLinesATick(folder, lines, ticks);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "journal_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
