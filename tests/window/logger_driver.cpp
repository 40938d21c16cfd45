// The logger as a process of its own, for tests that kill it or close it: the program's own start-up
// (RunLogger) on the journal file given, the line's settings file given as the system-wide one (none:
// COM1 as the environment maps it) and the data source "alQuivarProd" with its own credentials,
// started connected; the window closes when a line arrives on standard input, as Esc would close it.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "startup.h"
#include "stopsignals.h"
#include "storesettings.h"

int main(int argc, char* argv[]) {
  window::IgnoreBrokenPipe();
  QApplication application(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: logger_driver JOURNAL [SETTINGS]\n");
    return 2;
  }
  // A blocking read of its own: Windows has no notifier for a pipe. The process ends under it.
  std::thread([] {
    std::string line;
    std::getline(std::cin, line);
    QMetaObject::invokeMethod(qApp, [] {
      for (QWidget* window : QApplication::topLevelWidgets()) window->close();
    });
  }).detach();
  const window::TStartOptions options{.Connect = true,
                                      .LineFiles = {argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString(), {}}};
  return window::RunLogger(calls::DefaultStoreSettings(), QString::fromLocal8Bit(argv[1]), options,
                           [](const QString& text) { std::fprintf(stderr, "%s\n", qUtf8Printable(text)); });
}
