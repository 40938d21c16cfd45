// Where the service keeps its journal: a folder only the service's account and administrators can
// read, since it holds every number dialled.
#pragma once

#include <QString>

namespace window {

// Linux: the unit's StateDirectory= (systemd names it in STATE_DIRECTORY and makes it 0700); empty
// when the program was not started by systemd. Windows: %ProgramData%\logchamadas\servico, made (or
// set again) with an access list of SYSTEM and Administrators only; empty, said on standard error,
// when it cannot be made so. The site's settings file stays readable one folder up.
QString ServiceDataFolder();

}  // namespace window
