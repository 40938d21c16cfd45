#include "instancelock.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "privatefolder.h"

namespace service {

TInstanceLock::TInstanceLock(const QString& journalPath) : FLock(journalPath + QStringLiteral(".lock")) {
  // The journal's folder, made private before anything is written in it; the journal tightens the lock
  // file with its own files once it is open, and says so when it cannot.
  const QFileInfo journal(journalPath);
  QString error;
  calls::MakePrivate(journal.absolutePath(), journal.fileName(), error);
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
