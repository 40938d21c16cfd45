#include "serviceplace.h"

#include <QDir>

namespace service {

QString ServiceJournalPath() {
  // systemd lists one folder per StateDirectory= entry, separated by colons: the first is ours.
  const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
  return state.isEmpty() ? DefaultServiceJournalPath()
                         : QDir(state).filePath(QStringLiteral("journal.sqlite"));
}

QString ServiceSocketName() {
  const QString name = qEnvironmentVariable("LOGCHAMADAS_SERVICO");
  return name.isEmpty() ? DefaultServiceSocketName() : name;
}

}  // namespace service
