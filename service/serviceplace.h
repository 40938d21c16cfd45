// Where the service keeps its journal and where it listens for views.
#pragma once

#include <QString>

namespace service {

// $STATE_DIRECTORY/journal.sqlite under systemd (the unit's StateDirectory=), else
// DefaultServiceJournalPath().
QString ServiceJournalPath();
// This system's place for the service's journal when systemd names none: on Linux the user's own
// application data folder (a service started by hand), on Windows the program data folder.
QString DefaultServiceJournalPath();
// $LOGCHAMADAS_SERVICO when set (tests, a second logger on one machine), else
// /run/logchamadas/logchamadas.sock on Linux (the unit's RuntimeDirectory=) and the pipe
// \\.\pipe\logchamadas on Windows.
QString ServiceSocketName();
// The default of ServiceSocketName() on this system.
QString DefaultServiceSocketName();

}  // namespace service
