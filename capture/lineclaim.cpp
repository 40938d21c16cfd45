#include <QCryptographicHash>

#include "lineclaim.h"

namespace capture {

QString ClaimName(const QString& line) {
  const QByteArray digest = QCryptographicHash::hash(line.toLower().toUtf8(), QCryptographicHash::Sha1);
  return QStringLiteral("logchamadas-linha-") + QString::fromLatin1(digest.toHex().left(24));
}

}  // namespace capture
