// The logger as a process of its own, for tests that kill it or close it: the program's own start-up
// (RunLogger) on the journal file given and the data source "alQuivarProd" with its own credentials,
// started connected; the window closes when a line arrives on standard input, as Esc would close it.
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

#include "startup.h"
#include "storesettings.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: logger_driver JOURNAL\n");
    return 2;
  }
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&input] {
    input.setEnabled(false);
    for (QWidget* window : QApplication::topLevelWidgets()) window->close();
  });
  return window::RunLogger(calls::DefaultStoreSettings(), QString::fromLocal8Bit(argv[1]), {.Connect = true},
                           [](const QString& text) { std::fprintf(stderr, "%s\n", qUtf8Printable(text)); });
}
