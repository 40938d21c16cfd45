#include <QStandardPaths>

#include "serviceplace.h"

namespace service {

QString DefaultServiceJournalPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/journal.sqlite");
}

QString DefaultServiceSocketName() {
  return QStringLiteral("/run/logchamadas/logchamadas.sock");
}

}  // namespace service
