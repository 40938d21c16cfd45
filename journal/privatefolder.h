// Files only their owner may read: the journal holds every number dialled and every caller's personal
// code. On Windows the per-user application data folder already is private to its user.
#pragma once

#include <QString>

namespace calls {

// Makes folder (and the folders above it) if missing, and leaves it, and every file in it whose name
// begins with prefix, to its owner alone (0700 and 0600), whatever the umask or an older version left.
// False, with the system's words in error, when the folder cannot be made or a permission not set.
bool MakePrivate(const QString& folder, const QString& prefix, QString& error);

}  // namespace calls
