// The program entry: the application, the main window fmtCall, the message loop.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "appfonts.h"
#include "startup.h"
#include "storesettings.h"

namespace {

// The one switch: the autostart entry starts the logger already connected, so a reboot needs no
// operator.
const QString ConnectSwitch = QStringLiteral("--conectar");

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Names the per-user data folder that holds the journal.
  QApplication::setApplicationName(QStringLiteral("logchamadas"));
  const QStringList arguments = QApplication::arguments().mid(1);
  if (!arguments.isEmpty() && arguments != QStringList{ConnectSwitch}) {
    std::fprintf(stderr, "uso: logchamadas [--conectar]\n");
    return 2;
  }
  window::InstallFontSubstitutes();
  window::TStartOptions options;
  options.Connect = !arguments.isEmpty();
  return window::RunLogger(calls::DefaultStoreSettings(), window::DefaultJournalPath(), options);
}
