#include <QStandardPaths>

#include "serviceplace.h"

namespace service {

// For now the account's own application data folder, as on Linux; the service's place under the
// program data folder comes with the Windows service.
QString DefaultServiceJournalPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/journal.sqlite");
}

// QLocalServer makes \\.\pipe\logchamadas of it.
QString DefaultServiceSocketName() {
  return QStringLiteral("logchamadas");
}

}  // namespace service
