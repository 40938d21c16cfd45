#include "instancelock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace service {

TInstanceLock::TInstanceLock(const QString& journalPath) : FLock(journalPath + QStringLiteral(".lock")) {
  QDir().mkpath(QFileInfo(journalPath).absolutePath());
  FLock.setStaleLockTime(0);  // only a live process holds it, however long it runs
}

bool TInstanceLock::Take() {
  if (FLock.tryLock(0)) return true;
  FHeldElsewhere = FLock.error() == QLockFile::LockFailedError;
  // Left by a run that was killed or lost its power, whose process id this process now has (PIDs
  // repeat after a reboot, and Wine gives every session the same ones): not a logger running.
  qint64 pid = 0;
  QString host;
  QString application;
  if (FHeldElsewhere && FLock.getLockInfo(&pid, &host, &application) && pid == QCoreApplication::applicationPid() &&
      FLock.removeStaleLockFile() && FLock.tryLock(0)) {
    FHeldElsewhere = false;
    return true;
  }
  return false;
}

}  // namespace service
