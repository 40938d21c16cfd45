// A journal file damaged in one page, as a failing disk or a cut write leaves it, for the tests of
// what is recovered from it.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testsupport {

// The journal's page size, from its file header (big-endian at offset 16; 1 stands for 65536).
inline int JournalPageSize(const QByteArray& file) {
  const int size = (static_cast<unsigned char>(file[16]) << 8) | static_cast<unsigned char>(file[17]);
  return size == 1 ? 65536 : size;
}

// The page (from 0) of a closed journal file that holds a call's row: a table row keeps the line's
// bytes followed by the call's date, which nothing else does. -1 when none does.
inline int PageOfRow(const QByteArray& file, const QByteArray& bytes, const QByteArray& date) {
  const qsizetype at = file.indexOf(bytes + date);
  return at < 0 ? -1 : static_cast<int>(at / JournalPageSize(file));
}

// Overwrites one page of a closed journal file with noise; false when the file cannot be written.
inline bool DamagePage(const QString& path, int page) {
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite)) return false;
  const int size = JournalPageSize(file.read(100));
  return file.seek(static_cast<qint64>(page) * size) && file.write(QByteArray(size, '\xA5')) == size;
}

}  // namespace testsupport
