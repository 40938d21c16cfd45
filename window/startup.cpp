#include "startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

#include "callstore.h"
#include "storesettings.h"
#include "utcall.h"

namespace window {

void ShowStartupError(const QString& text) {
  qCritical("%s", qUtf8Printable(text));
  QMessageBox::critical(nullptr, QStringLiteral("Log de chamadas"), text);
}

int RunLogger(const calls::TStoreSettings& settings, const TStartupReport& report, bool connect) {
  auto store = std::make_unique<calls::TCallStore>(settings);
  if (!store->Connect()) {
    // Without the database nothing can be stored: say why, in the driver's own words, and stop.
    report(QStringLiteral("Não foi possível conectar ao banco de dados \"%1\".\n\n%2")
               .arg(settings.AliasName, store->LastError()));
    return 1;
  }
  // Frees itself when closed; the loop ends with the last window.
  auto* fmtCall = new TfmtCall(std::move(store));
  fmtCall->show();
  if (connect) QTimer::singleShot(0, fmtCall, &TfmtCall::bb08Click);
  return QApplication::exec();
}

}  // namespace window
