#include "startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <memory>
#include <optional>

#include "instancelock.h"
#include "journal.h"
#include "rowdetail.h"
#include "serviceplace.h"
#include "serviceview.h"
#include "statehistory.h"
#include "stopsignals.h"
#include "storesettings.h"
#include "utcall.h"

namespace window {

void ShowStartupError(const QString& text) {
  qCritical("%s", qUtf8Printable(text));
  QMessageBox::critical(nullptr, QStringLiteral("Log de chamadas"), text);
}

QString DefaultJournalPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/journal.sqlite");
}

namespace {

QString DamagedJournalText(const QString& keptAs, const calls::TRecovery& recovered) {
  QString text =
      QStringLiteral(
          "O diário de chamadas estava danificado. Foi guardado como\n%1\ne um diário novo foi começado.")
          .arg(keptAs);
  if (!recovered.Error.isEmpty()) {
    return text + QStringLiteral("\n\nAs chamadas ainda não entregues não puderam ser copiadas dele: %1")
                      .arg(recovered.Error);
  }
  switch (recovered.Calls) {
    case 0:
      return text + QStringLiteral("\n\nNenhuma chamada ainda não entregue foi encontrada nele.");
    case 1:
      return text + QStringLiteral("\n\n1 chamada ainda não entregue foi recuperada dele e será entregue.");
    default:
      return text +
             QStringLiteral("\n\n%1 chamadas ainda não entregues foram recuperadas dele e serão entregues.")
                 .arg(recovered.Calls);
  }
}

int RunWindow(const calls::TStoreSettings& settings, const QString& journalPath, const TStartOptions& options,
              const capture::TSiteSettings& line, const TStartupReport& report) {
  service::TInstanceLock lock(journalPath);
  if (!lock.Take()) {
    report(lock.HeldElsewhere()
               ? QStringLiteral("O logchamadas já está em execução neste computador.")
               : QStringLiteral("Não foi possível abrir o diário de chamadas:\n%1").arg(journalPath));
    return 1;
  }
  auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
  if (!journal->Open(journalPath)) {
    report(QStringLiteral("Não foi possível abrir o diário de chamadas.\n\n%1").arg(journal->LastError()));
    return 1;
  }
  if (!journal->SetAsideFile().isEmpty())
    report(DamagedJournalText(journal->SetAsideFile(), journal->Recovered()));
  // Frees itself when closed; the loop ends with the last window.
  auto* fmtCall = new TfmtCall(std::move(journal), journalPath, settings, ShowErrorBox, AskToCloseAnyway,
                               options.LineFiles);
  fmtCall->UseLine(line);
  fmtCall->show();
  OnStopSignal(*fmtCall, [fmtCall](const QString& signal) { fmtCall->EndOnRequest(signal); });
  if (options.Connect) QTimer::singleShot(0, fmtCall, &TfmtCall::ConnectUnattended);
  return QApplication::exec();
}

// The window as the view of the service that answers at its socket: no port, no journal of its own;
// closing it leaves the service running.
int RunView(std::unique_ptr<service::TServiceView> view) {
  auto* fmtCall = new TfmtCall(std::move(view));
  fmtCall->show();
  OnStopSignal(*fmtCall, [fmtCall](const QString& signal) { fmtCall->EndOnRequest(signal); });
  return QApplication::exec();
}

// The site's line, read before the journal is touched: a bad value stops the start, since the logger
// would otherwise read a line nobody chose. Keys the program does not know are only noted.
std::optional<capture::TSiteSettings> SiteLine(const capture::TSettingsFiles& files,
                                               service::TStateHistory& history,
                                               const TStartupReport& report) {
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(files);
  for (const QString& warning : read.Warnings) history.Note(warning);
  if (read.Ok()) return read.Settings;
  report(QStringLiteral("A configuração da linha tem valores inválidos:\n%1\nCorrija o arquivo ou use "
                        "\"logchamadas --configurar\".")
             .arg(read.ErrorMessage()));
  return std::nullopt;
}

}  // namespace

int RunLogger(const calls::TStoreSettings& settings, const QString& journalPath, const TStartOptions& options,
              const TStartupReport& report) {
  calls::KeepRowDetailOutOfQtMessages();
  service::TStateHistory history;
  history.Note(QStringLiteral("início, versão %1").arg(QStringLiteral(LOGCHAMADAS_VERSION)));
  auto view = std::make_unique<service::TServiceView>(service::ServiceSocketName());
  if (view->Reach(ServiceAnswerLimit)) {
    const int status = RunView(std::move(view));
    history.Note(QStringLiteral("fim"));
    return status;
  }
  view.reset();
  const std::optional<capture::TSiteSettings> line = SiteLine(options.LineFiles, history, report);
  const int status = line ? RunWindow(settings, journalPath, options, *line, report) : 1;
  history.Note(QStringLiteral("fim"));
  return status;
}

}  // namespace window
