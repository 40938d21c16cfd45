// The program entry: the application, the main window fmtCall, the message loop.
#include <QApplication>

#include "appfonts.h"
#include "startup.h"
#include "storesettings.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  window::InstallFontSubstitutes();
  return window::RunLogger(calls::DefaultStoreSettings());
}
