// The settings files where QSettings keeps INI files on Windows: FOLDERID_ProgramData for every user,
// FOLDERID_RoamingAppData for one. INI files rather than the registry, so that a site can copy them.
#include <QSettings>

#include "sitesettings.h"

namespace capture {

TSettingsFiles SiteSettingsFiles() {
  const QString name = QStringLiteral("logchamadas");
  return {QSettings(QSettings::IniFormat, QSettings::SystemScope, name, name).fileName(),
          QSettings(QSettings::IniFormat, QSettings::UserScope, name, name).fileName()};
}

}  // namespace capture
