// The program entry: the application, the main window fmtCall, the message loop.
#include <QApplication>

#include "appfonts.h"
#include "startup.h"
#include "storesettings.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // Names the per-user data folder that holds the journal.
  QApplication::setApplicationName(QStringLiteral("logchamadas"));
  window::InstallFontSubstitutes();
  window::TStartOptions options;
  // Given by the start-at-log-in entry, so a reboot needs no operator.
  options.Connect = QApplication::arguments().contains(QStringLiteral("--conectar"));
  return window::RunLogger(calls::DefaultStoreSettings(), window::DefaultJournalPath(), options);
}
