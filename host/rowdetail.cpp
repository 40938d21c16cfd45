#include "rowdetail.h"

#include <QRegularExpression>

namespace calls {

namespace {

const QString Mask = QStringLiteral("****");

QtMessageHandler PreviousHandler = nullptr;

// Qt's messages quote the driver's text, so its line ends may come escaped ("\n" as two characters).
void WithoutRowDetailHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  static const QRegularExpression detail(QStringLiteral(R"(DETAIL:.*?(?=\n|\\n|$))"));
  QString cleaned = message;
  cleaned.replace(detail, QStringLiteral("DETAIL: ") + Mask);
  PreviousHandler(type, context, cleaned);
}

}  // namespace

QString WithoutPersonalCode(QString text, const std::vector<QString>& personalCodes) {
  static const QRegularExpression detail(QStringLiteral("DETAIL:[^\n]*"));
  text.replace(detail, QStringLiteral("DETAIL: ") + Mask);
  for (const QString& code : personalCodes) {
    const QString word = code.trimmed();
    if (word.isEmpty()) continue;
    text.replace(
        QRegularExpression(
            QStringLiteral(R"((?<![\p{L}\p{N}])%1(?![\p{L}\p{N}]))").arg(QRegularExpression::escape(word))),
        Mask);
  }
  return text;
}

void KeepRowDetailOutOfQtMessages() {
  // Called once at start-up; a second call would chain to itself.
  if (PreviousHandler == nullptr) PreviousHandler = qInstallMessageHandler(WithoutRowDetailHandler);
}

}  // namespace calls
