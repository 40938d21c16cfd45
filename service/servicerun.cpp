#include "servicerun.h"

#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "instancelock.h"
#include "journal.h"
#include "pipeline.h"
#include "rowdetail.h"
#include "serviceplace.h"
#include "statehistory.h"
#include "stopsignals.h"
#include "viewserver.h"

namespace service {

namespace {

int Serve(const TServiceOptions& options, const capture::TSiteSettings& line, TStateHistory& history) {
  // Windows gives no place when the program data folder cannot be closed to other users (said on
  // standard error): no journal open to every user.
  if (options.JournalPath.isEmpty()) {
    history.Note(QStringLiteral("não há pasta reservada ao serviço para o diário de chamadas"));
    return 1;
  }
  TInstanceLock lock(options.JournalPath);
  if (!lock.Take()) {
    history.Note(
        lock.HeldElsewhere()
            ? QStringLiteral("outro logchamadas já usa o diário de chamadas %1").arg(options.JournalPath)
            : QStringLiteral("não foi possível abrir o diário de chamadas %1").arg(options.JournalPath));
    return 1;
  }
  auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
  if (!journal->Open(options.JournalPath)) {
    history.Note(QStringLiteral("não foi possível abrir o diário de chamadas: %1").arg(journal->LastError()));
    return 1;
  }
  if (!journal->SetAsideFile().isEmpty()) {
    history.Note(
        QStringLiteral("diário de chamadas danificado, guardado como %1; %2 chamadas ainda não entregues "
                       "recuperadas%3")
            .arg(journal->SetAsideFile())
            .arg(journal->Recovered().Calls)
            .arg(journal->Recovered().Error.isEmpty()
                     ? QString()
                     : QStringLiteral(" (%1)").arg(journal->Recovered().Error)));
  }
  TPipeline pipeline(std::move(journal), options.JournalPath, options.Store, options.LineFiles);
  pipeline.UseLine(line);
  pipeline.Start();
  pipeline.ConnectUnattended();
  TViewServer views(pipeline, history);
  if (!views.Listen(options.SocketName))
    history.Note(QStringLiteral("sem janelas: %1; a captura continua").arg(views.Error()));
  window::OnStopSignal(pipeline, [&history](const QString& signal) {
    history.Note(QStringLiteral("fim pedido pelo sistema (%1)").arg(signal));
    QCoreApplication::quit();
  });
  return QCoreApplication::exec();
}

}  // namespace

TServiceOptions DefaultServiceOptions() {
  return {calls::DefaultStoreSettings(), ServiceJournalPath(), ServiceSocketName(),
          capture::SiteSettingsFiles()};
}

int RunService(const TServiceOptions& options) {
  calls::KeepRowDetailOutOfQtMessages();
  TStateHistory history;
  history.Note(QStringLiteral("início do serviço, versão %1").arg(QStringLiteral(LOGCHAMADAS_VERSION)));
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(options.LineFiles);
  for (const QString& text : read.Warnings + read.Errors) history.Note(text);
  const int status = read.Ok() ? Serve(options, read.Settings, history) : 1;
  history.Note(QStringLiteral("fim"));
  return status;
}

}  // namespace service
