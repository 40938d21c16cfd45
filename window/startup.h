// What the program entry does once the application exists: connect the database, build and show the
// main window, run the message loop.
#pragma once

#include <QString>
#include <functional>

namespace calls {
struct TStoreSettings;
}

namespace window {

// Tells the operator why the program cannot start.
using TStartupReport = std::function<void(const QString& text)>;
// A message box over no window, titled with the program's caption.
void ShowStartupError(const QString& text);

// The exit status: the message loop's, or 1 when the data source cannot be reached (reported first,
// with the driver's own text). With connect the window presses "&Conectar" itself once it is shown, so
// a logger started at log-in needs no operator.
int RunLogger(const calls::TStoreSettings& settings, const TStartupReport& report = ShowStartupError,
              bool connect = false);

}  // namespace window
