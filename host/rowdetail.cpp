#include "rowdetail.h"

namespace calls {

namespace {

const QString Detail = QStringLiteral("DETAIL:");
const QString Masked = QStringLiteral("DETAIL: ****");
const QString Mask = QStringLiteral("****");

QtMessageHandler PreviousHandler = nullptr;
// The codes of the rows the thread's statements are about: Qt prints a driver's message on the thread
// whose statement failed.
thread_local const std::vector<QString>* RowCodes = nullptr;

// Each "DETAIL:" up to the end of its line masked. Qt's messages quote the driver's text, so a line
// may also end at an escaped line end ("\n" as two characters).
QString WithoutDetail(QString text, bool quoted) {
  for (qsizetype at = text.indexOf(Detail); at >= 0; at = text.indexOf(Detail, at + Masked.size())) {
    qsizetype end = text.indexOf(QLatin1Char('\n'), at);
    if (quoted) {
      const qsizetype escaped = text.indexOf(QLatin1String("\\n"), at);
      if (escaped >= 0 && (end < 0 || escaped < end)) end = escaped;
    }
    text.replace(at, (end < 0 ? text.size() : end) - at, Masked);
  }
  return text;
}

bool WordCharacter(const QString& text, qsizetype at) {
  return at >= 0 && at < text.size() && text[at].isLetterOrNumber();
}

// Each code masked where it is a word of its own, or (wordsOnly false) wherever it appears.
QString WithoutCodes(QString text, const std::vector<QString>& personalCodes, bool wordsOnly) {
  for (const QString& code : personalCodes) {
    const QString word = code.trimmed();
    if (word.isEmpty()) continue;
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
      if (wordsOnly && (WordCharacter(text, at - 1) || WordCharacter(text, at + word.size()))) continue;
      text.replace(at, word.size(), Mask);
    }
  }
  return text;
}

// Codes masked wherever they appear: a quoted message escapes its line ends ("\n7391" is no word of
// its own), and what standard error shows is for diagnosis, not for reading the calls.
void WithoutRowDetailHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const QString masked = WithoutDetail(message, true);
  PreviousHandler(type, context, RowCodes != nullptr ? WithoutCodes(masked, *RowCodes, false) : masked);
}

}  // namespace

QString WithoutPersonalCode(QString text, const std::vector<QString>& personalCodes) {
  return WithoutCodes(WithoutDetail(std::move(text), false), personalCodes, true);
}

TRowCodes::TRowCodes(std::vector<QString> codes) : FCodes(std::move(codes)), FOuter(RowCodes) {
  RowCodes = &FCodes;
}

TRowCodes::~TRowCodes() {
  RowCodes = FOuter;
}

void KeepRowDetailOutOfQtMessages() {
  // Called once at start-up; a second call would chain to itself.
  if (PreviousHandler == nullptr) PreviousHandler = qInstallMessageHandler(WithoutRowDetailHandler);
}

}  // namespace calls
