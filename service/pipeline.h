// The logger's one pipeline, owned by the stand-alone window and by the service alike: the port on the
// site's line kept open, the receive cycle and its timers, the journal, the database worker's thread,
// the day's calls and log lines, the status line's two rows and the history of state changes. Nothing
// here knows whether a window shows it.
#pragma once

#include <QDateTime>
#include <chrono>
#include <memory>

#include "logger.h"
#include "sitesettings.h"

namespace serial {
class TLineRouter;
class TSerialPort;
}  // namespace serial
namespace capture {
class TReceiveCycle;
}
namespace calls {
class TJournal;
struct TStoreSettings;
}  // namespace calls
class QTimer;

namespace service {

class THostWorker;
class TStateHistory;

// Given to the database worker at most this long to finish its statement when the pipeline ends.
inline constexpr std::chrono::seconds ShutdownLimit{3};

class TPipeline final : public TLogger {
  Q_OBJECT
 public:
  // Takes the journal already open (journalPath names its file, which the database worker opens too);
  // the port is built on COM1 routed to the line that lineFiles set (none: COM1 itself at 9600 bit/s,
  // 8N1), and the worker's thread started for the settings' database.
  TPipeline(std::unique_ptr<calls::TJournal> journal, const QString& journalPath,
            const calls::TStoreSettings& settings, capture::TSettingsFiles lineFiles,
            QObject* parent = nullptr);
  // Journals what the driver holds and lets the port go; a worker that hangs on the server does not
  // keep the process from ending (every call is in the journal already).
  ~TPipeline() override;

  TWindowState State() const override { return FState; }
  TStatusView LineView() const override;
  TStatusView StatusView() const override;
  calls::TCallListModel& List() override { return *FList; }
  TLogLines& Log() override { return *FLog; }

  // The list shows the day: the local one until the server's date is read.
  void Start();
  // Reads the line's settings files again first: the operator may have changed the line.
  void Connect() override;
  void Disconnect() override;
  // Reads and journals what the driver holds, port left open (before closing, at the session's end).
  void Flush();
  // After Flush: why received lines would be lost by ending now; empty when none would.
  QString UnwrittenText() const;
  // Journals what the driver holds and lets the port go at once, whatever the database worker does.
  void LetPortGo();
  void Note(const QString& text) override;

  // The site's line as start-up read it from the files.
  void UseLine(const capture::TSiteSettings& line);
  // The unattended start's connect: a port that does not open is tried again every 2 s.
  void ConnectUnattended();
  // One tick of the timer.
  void Tick();

 private:
  void BindWorker();
  void LineChanged();
  void SetState(TWindowState state);

  std::unique_ptr<calls::TJournal> FJournal;
  std::unique_ptr<calls::TCallListModel> FList;
  std::unique_ptr<TLogLines> FLog;
  std::unique_ptr<THostWorker> FHost;
  std::unique_ptr<TStatusLine> FStatus;
  std::unique_ptr<TStateHistory> FHistory;
  std::unique_ptr<serial::TSerialPort> SP;
  serial::TLineRouter* FRouter = nullptr;  // under SP, which owns it
  capture::TSettingsFiles FLineFiles;
  std::unique_ptr<capture::TReceiveCycle> FCycle;
  QTimer* Timer;
  QTimer* ReadTimer;  // reads between ticks on a fast line
  TWindowState FState;
};

}  // namespace service
