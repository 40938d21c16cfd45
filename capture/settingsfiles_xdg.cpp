// The settings files where QSettings looks for them on Linux: XDG_CONFIG_HOME for the user's,
// XDG_CONFIG_DIRS for the system-wide one.
#include <QFileInfo>
#include <QStandardPaths>

#include "sitesettings.h"

namespace capture {

TSettingsFiles SiteSettingsFiles() {
  const QString relative = QStringLiteral("/logchamadas/logchamadas.conf");
  QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
  TSettingsFiles files;
  files.User = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + relative;
  // The first of the list is the user's own folder; the rest come from XDG_CONFIG_DIRS.
  folders.removeFirst();
  for (const QString& folder : folders) {
    if (QFileInfo::exists(folder + relative)) {
      files.System = folder + relative;
      return files;
    }
  }
  if (!folders.isEmpty()) files.System = folders.last() + relative;
  return files;
}

}  // namespace capture
