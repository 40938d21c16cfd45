// TfmtCall, the program's only window: the day's calls in the grid, the raw lines in the log panel, the
// status line, and the buttons that connect and disconnect the port and close the program. It shows a
// logger: its own pipeline (the stand-alone logger) or a service's (the window is then its view); its
// handlers only delegate to it.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "sitesettings.h"

namespace Ui {
class TfmtCall;
}
namespace calls {
class TJournal;
struct TStoreSettings;
}  // namespace calls
namespace service {
class TLogger;
class TPipeline;
}  // namespace service

namespace window {

class TCallGridModel;
class TMemoLog;

// Shows a modal error message over the window.
using TErrorBox = std::function<void(QWidget& parent, const QString& text)>;
// The one the operator sees: titled "Error", the error icon, one OK button.
void ShowErrorBox(QWidget& parent, const QString& text);
// Asks whether to close although received lines would be lost; true: close anyway.
using TCloseQuestion = std::function<bool(QWidget& parent, const QString& text)>;
// Two buttons, "Continuar aberto" (the default) and "Fechar assim mesmo".
bool AskToCloseAnyway(QWidget& parent, const QString& text);

class TfmtCall : public QWidget {
  Q_OBJECT
 public:
  // The stand-alone logger: its own pipeline (service::TPipeline) over the journal already open.
  TfmtCall(std::unique_ptr<calls::TJournal> journal, const QString& journalPath,
           const calls::TStoreSettings& settings, TErrorBox errorBox = ShowErrorBox,
           TCloseQuestion closeQuestion = AskToCloseAnyway, capture::TSettingsFiles lineFiles = {},
           QWidget* parent = nullptr);
  // Shows the logger given: a service's view (service::TServiceView) leaves the service running when
  // the window closes.
  TfmtCall(std::unique_ptr<service::TLogger> logger, TErrorBox errorBox = ShowErrorBox,
           TCloseQuestion closeQuestion = AskToCloseAnyway, QWidget* parent = nullptr);
  ~TfmtCall() override;

 public slots:
  void FormShow();
  void bb08Click();
  // The stand-alone logger's alone (a service's view does nothing): the unattended start's connect,
  // the site's line as start-up read it from the files (each Conectar reads them again), a tick.
  void ConnectUnattended();
  void UseLine(const capture::TSiteSettings& line);
  // The system asks the program to end (signal names how): closed as at the end of a session, with
  // what the driver holds journaled and no box.
  void EndOnRequest(const QString& signal);
  void bb05Click();
  void bb12Click();
  void BitBtn1Click();
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void ShowState();
  // False when lines the journal could not take would be lost and the operator chose to stay.
  bool MayClose();

  std::unique_ptr<Ui::TfmtCall> ui;
  std::unique_ptr<service::TLogger> FLogger;
  service::TPipeline* FPipeline;  // FLogger when the window runs its own, else null
  std::unique_ptr<TCallGridModel> FGridModel;
  std::unique_ptr<TMemoLog> FLog;
  TErrorBox FErrorBox;
  TCloseQuestion FCloseQuestion;
  bool FSessionEnding = false;  // the desktop session is ending: nobody to ask
};

}  // namespace window
