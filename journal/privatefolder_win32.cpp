#include <QDir>

#include "privatefolder.h"

namespace calls {

// The per-user application data folder grants its user alone: nothing to tighten.
bool MakePrivate(const QString& folder, const QString&, QString& error) {
  if (QDir().mkpath(folder)) return true;
  error = QStringLiteral("%1: the folder cannot be made").arg(folder);
  return false;
}

}  // namespace calls
