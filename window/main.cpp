// The program entry: the application, the main window fmtCall, the message loop.
#include <QApplication>
#include <QMessageBox>
#include <memory>

#include "appfonts.h"
#include "callstore.h"
#include "storesettings.h"
#include "utcall.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  window::InstallFontSubstitutes();

  const calls::TStoreSettings settings = calls::DefaultStoreSettings();
  auto store = std::make_unique<calls::TCallStore>(settings);
  if (!store->Connect()) {
    // Without the database nothing can be stored: say why, in the driver's own words, and stop.
    const QString text = QStringLiteral("Não foi possível conectar ao banco de dados \"%1\".\n\n%2")
                             .arg(settings.AliasName, store->LastError());
    qCritical("%s", qUtf8Printable(text));
    QMessageBox::critical(nullptr, QStringLiteral("Log de chamadas"), text);
    return 1;
  }

  // Frees itself when closed (the operator's exit); the loop ends with the last window.
  auto* fmtCall = new window::TfmtCall(std::move(store));
  fmtCall->show();
  return QApplication::exec();
}
