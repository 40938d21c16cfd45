// `logchamadas --servico`: the pipeline with no window and no display, on a QCoreApplication the
// program entry has made, connected from the start, its history on standard error, its state served
// to the windows that are its views.
#pragma once

#include <QString>

#include "sitesettings.h"
#include "storesettings.h"

namespace service {

struct TServiceOptions {
  calls::TStoreSettings Store;
  QString JournalPath;
  QString SocketName;
  capture::TSettingsFiles LineFiles;
};

// This machine's: the site's database and line, ServiceJournalPath(), ServiceSocketName().
TServiceOptions DefaultServiceOptions();

// The exit status: 0 once a stop signal (or the service manager's stop) has ended it with what the
// driver held journaled; 1 when a line setting has a bad value, or the journal cannot be opened or is
// held by another logger (said on standard error).
int RunService(const TServiceOptions& options);

}  // namespace service
