#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "privatefolder.h"

namespace calls {

namespace {

bool SetMode(const QString& path, mode_t mode, QString& error) {
  if (::chmod(QFile::encodeName(path).constData(), mode) == 0) return true;
  error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
  return false;
}

}  // namespace

bool MakePrivate(const QString& folder, const QString& prefix, QString& error) {
  const QDir dir(folder);
  // Made private from the start, so there is no moment at which another user may open it.
  if (!dir.exists() && !QDir().mkpath(QFileInfo(dir.absolutePath()).path())) {
    error = QStringLiteral("%1: the folder cannot be made").arg(folder);
    return false;
  }
  if (!dir.exists() && ::mkdir(QFile::encodeName(dir.absolutePath()).constData(), S_IRWXU) != 0 &&
      errno != EEXIST) {
    error = QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  if (!SetMode(dir.absolutePath(), S_IRWXU, error)) return false;
  // Never through a link: chmod would change whatever it points at.
  for (const QString& name :
       dir.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
    if (!SetMode(dir.filePath(name), S_IRUSR | S_IWUSR, error)) return false;
  }
  return true;
}

}  // namespace calls
