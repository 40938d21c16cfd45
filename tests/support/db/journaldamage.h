// A journal file damaged in one page of calls, its header intact, as a failing disk or a cut write
// leaves it, for the tests of what is recovered from it.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "journal.h"

namespace testsupport {

// Calls received at the given time, one a second from 09:00 on 2026-12-09, each to its own extension
// (1000, 1001 ...) and with its own bytes.
inline std::vector<calls::TReceivedLine> NumberedCalls(int count, const QDateTime& received) {
  std::vector<calls::TReceivedLine> lines;
  for (int i = 0; i < count; ++i) {
    const std::string rama = std::to_string(1000 + i);
    lines.push_back(
        {received, rama + " line",
         calls::TCallRecord{
             {2026, 12, 9, 9, i / 60, i % 60}, rama, "0113456789", "00:01:00", "4321", "01", std::nullopt}});
  }
  return lines;
}

// Journals the calls in a new file at path, then overwrites the page that holds the row of
// calls[damaged] with noise. The extensions of the calls whose rows are on other pages, in order;
// empty when the file could not be made so.
inline QStringList JournalDamagedAt(const QString& path, const std::vector<calls::TReceivedLine>& calls,
                                    std::size_t damaged) {
  {
    calls::TJournal journal(QStringLiteral("journal-to-damage"));
    std::vector<calls::TJournaled> journaled;
    if (!journal.Open(path) || !journal.Append(calls, journaled)) return {};
    // Rewritten whole, so no stale copy of a row is left in another page's free space.
    QSqlQuery vacuum(QSqlDatabase::database(QStringLiteral("journal-to-damage")));
    if (!vacuum.exec(QStringLiteral("VACUUM"))) return {};
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite)) return {};
  const QByteArray content = file.readAll();
  // The page size is in the header (big-endian at offset 16; 1 stands for 65536).
  const int size = (static_cast<unsigned char>(content[16]) << 8) | static_cast<unsigned char>(content[17]);
  const int pageSize = size == 1 ? 65536 : size;
  // A table row keeps the line's bytes followed by the call's date, which nothing else does.
  const auto pageOf = [&](const calls::TReceivedLine& call) {
    const qsizetype at = content.indexOf(QByteArray::fromStdString(call.Bytes) + "2026-12-09 09:");
    return at < 0 ? -1 : static_cast<int>(at / pageSize);
  };
  const int page = pageOf(calls[damaged]);
  if (page <= 0) return {};
  QStringList readable;
  for (const calls::TReceivedLine& call : calls) {
    if (pageOf(call) != page) readable.append(QString::fromStdString(call.Call->RAMA));
  }
  if (!file.seek(static_cast<qint64>(page) * pageSize) ||
      file.write(QByteArray(pageSize, '\xA5')) != pageSize)
    return {};
  return readable;
}

}  // namespace testsupport
