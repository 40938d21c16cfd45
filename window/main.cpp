// The program entry: the application, the main window fmtCall, the message loop; or the settings
// dialog; or the service, with no window and no display.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "appfonts.h"
#include "servicemanager.h"
#include "servicerun.h"
#include "settingsdialog.h"
#include "sitesettings.h"
#include "startup.h"
#include "stopsignals.h"
#include "storesettings.h"

namespace {

// The autostart entry starts the logger already connected, so a reboot needs no operator.
const QString ConnectSwitch = QStringLiteral("--conectar");
// The menu entry "Configurar log de chamadas" opens the settings dialog instead of the logger.
const QString SettingsSwitch = QStringLiteral("--configurar");
// The system starts the logger as a service, before anyone logs in: no widgets, so no display either.
constexpr const char* ServiceSwitch = "--servico";

}  // namespace

int main(int argc, char* argv[]) {
  window::IgnoreBrokenPipe();
  if (argc == 2 && std::strcmp(argv[1], ServiceSwitch) == 0) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("logchamadas"));
    return service::RunUnderServiceManager([] { return service::RunService(service::DefaultServiceOptions()); });
  }
  QApplication application(argc, argv);
  // Names the per-user data folder that holds the journal.
  QApplication::setApplicationName(QStringLiteral("logchamadas"));
  const QStringList arguments = QApplication::arguments().mid(1);
  if (arguments.size() > 1 || (arguments.size() == 1 && arguments[0] != ConnectSwitch && arguments[0] != SettingsSwitch)) {
    std::fprintf(stderr, "uso: logchamadas [--conectar | --configurar | --servico]\n");
    return 2;
  }
  window::InstallFontSubstitutes();
  if (arguments == QStringList{SettingsSwitch}) return window::RunSettingsDialog(capture::SiteSettingsFiles());
  window::TStartOptions options;
  options.Connect = !arguments.isEmpty();
  options.LineFiles = capture::SiteSettingsFiles();
  return window::RunLogger(calls::DefaultStoreSettings(), window::DefaultJournalPath(), options);
}
