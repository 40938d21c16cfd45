#include "appfonts.h"

#include <QFont>
#include <QString>

namespace window {

void InstallFontSubstitutes() {
  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

}  // namespace window
