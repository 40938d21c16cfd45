// What the program entry does once the application exists: take the journal for this user, build
// and show the main window, run the message loop.
#pragma once

#include <QString>
#include <chrono>
#include <functional>

#include "sitesettings.h"

namespace calls {
struct TStoreSettings;
}

namespace window {

// Tells the operator why the program cannot start, or what it had to do to start.
using TStartupReport = std::function<void(const QString& text)>;
// A message box over no window, titled with the program's caption.
void ShowStartupError(const QString& text);

// The journal's file in the user's application data folder.
QString DefaultJournalPath();

// How long a service at the socket may take to greet a starting window.
inline constexpr std::chrono::milliseconds ServiceAnswerLimit{2000};

struct TStartOptions {
  bool Connect = false;  // press "&Conectar" once the window is shown
  // The line's settings files (capture::SiteSettingsFiles() for this machine's); none: COM1 at
  // 9600 bit/s, 8N1.
  capture::TSettingsFiles LineFiles;
};

// A service answering at its socket (service::ServiceSocketName()): the window is its view, with no port
// and no journal of its own. Otherwise the exit status: the message loop's, or 1 when a line setting has a
// bad value, or the journal cannot be opened or is held by another running logger (reported first). The host
// database need not be reachable.
int RunLogger(const calls::TStoreSettings& settings, const QString& journalPath, const TStartOptions& options,
              const TStartupReport& report = ShowStartupError);

}  // namespace window
