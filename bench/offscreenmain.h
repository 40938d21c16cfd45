// The entry of a bench that shows the window off screen: the runtime folder Qt wants, the application,
// the window's fonts, the machine printed first; run gets the arguments, and its failures end the
// bench with status 1.
#pragma once

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>

#include "appfonts.h"
#include "benchsupport.h"

namespace bench {

template <typename TRun>
int OffScreenMain(int argc, char** argv, const char* name, TRun run) {
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  window::InstallFontSubstitutes();
  PrintMachine();
  try {
    run(QApplication::arguments().mid(1));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", name, error.what());
    return 1;
  }
  return 0;
}

}  // namespace bench
