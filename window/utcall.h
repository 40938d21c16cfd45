// TfmtCall, the program's only window: the day's calls in the grid, the raw lines in the log
// panel, and the buttons that connect and disconnect the port and close the program. It owns every
// object of the system; its handlers only delegate to them.
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

#include "sitesettings.h"
#include "windowstate.h"

namespace Ui {
class TfmtCall;
}
namespace serial {
class TLineRouter;
class TSerialPort;
}
namespace capture {
class TReceiveCycle;
}
namespace calls {
class TCallListModel;
class TJournal;
struct THostStatus;
struct TStoreSettings;
}
class QTimer;

namespace window {

class TCallGridModel;
class THostWorker;
class TMemoLog;
class TStateHistory;
class TStatusLine;

// Given to the database worker at most this long to finish its statement when the window closes.
inline constexpr std::chrono::seconds ShutdownLimit{3};

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
  // Takes the journal already open (journalPath names its file, which the database worker opens
  // too); the port is built here, on COM1 routed to the line that lineFiles set (none: COM1 itself at
  // 9600 bit/s, 8N1), and the worker's thread started for the settings' database.
  TfmtCall(std::unique_ptr<calls::TJournal> journal, const QString& journalPath,
           const calls::TStoreSettings& settings, TErrorBox errorBox = ShowErrorBox,
           TCloseQuestion closeQuestion = AskToCloseAnyway, capture::TSettingsFiles lineFiles = {},
           QWidget* parent = nullptr);
  ~TfmtCall() override;

 public slots:
  void FormShow();
  void bb08Click();
  // The unattended start's connect: no box; a port that does not open is tried again every 2 s.
  void ConnectUnattended();
  // The site's line as start-up read it from the files; each Conectar reads them again.
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
  void BindWorker();
  void ShowStatus();
  void ShowLine();
  // Reads the line's settings files and puts them on the line; with a bad value, tells the operator
  // and leaves the line as it was.
  bool LoadLine();
  // False when lines the journal could not take would be lost and the operator chose to stay.
  bool MayClose();
  // How many received lines wait in memory, and why.
  QString UnwrittenText() const;

  std::unique_ptr<Ui::TfmtCall> ui;
  std::unique_ptr<calls::TJournal> FJournal;
  std::unique_ptr<calls::TCallListModel> FList;
  std::unique_ptr<THostWorker> FHost;
  std::unique_ptr<TStatusLine> FStatus;
  std::unique_ptr<TStateHistory> FHistory;
  std::unique_ptr<serial::TSerialPort> SP;
  serial::TLineRouter* FRouter = nullptr;  // under SP, which owns it
  capture::TSettingsFiles FLineFiles;
  std::unique_ptr<TMemoLog> FLog;
  std::unique_ptr<capture::TReceiveCycle> FCycle;
  std::unique_ptr<TCallGridModel> FGridModel;
  QTimer* Timer;
  QTimer* ReadTimer;  // reads between ticks on a fast line
  TWindowState FState;
  TErrorBox FErrorBox;
  TCloseQuestion FCloseQuestion;
  bool FSessionEnding = false;  // the desktop session is ending: nobody to ask
};

}  // namespace window
