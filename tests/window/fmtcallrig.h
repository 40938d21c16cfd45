// The main window on real parts: a fresh SQLite host database behind "alQuivarProd", a
// pseudo-terminal with COM1 mapped to its slave, and the window built on both, shown off screen.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "farend.h"
#include "hostdatabase.h"
#include "utcall.h"

class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace window {

// What a modal message box showed before the catcher pressed its OK button.
struct TBoxSeen {
  QString Title;
  QString Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons Buttons;
};

// Answers the next modal message box the way the operator would, and notes what it showed.
class TBoxCatcher {
 public:
  TBoxCatcher();
  void Arm();
  // The box seen since Arm, if any; stops watching.
  std::optional<TBoxSeen> Take();

 private:
  void Look();

  QTimer FTimer;
  std::optional<TBoxSeen> FSeen;
};

class TFmtCallRig {
 public:
  TFmtCallRig();
  ~TFmtCallRig();

  // Builds the window over a connected store and shows it; FormShow runs here.
  void Show();
  // The far end sends bytes; returns once the port's device holds all of them.
  bool Send(const std::string& bytes);

  QPushButton& Button(const char* name) const;
  QTableView& Grid() const;
  QPlainTextEdit& Memo() const;
  bool TimerOn() const;
  // Lets the event loop run the window's deferred deletion; true once it is gone.
  bool Destroyed();

  // One for the whole run: unixODBC reads its configuration folder once per process.
  static const QTemporaryDir& Folder();

  testsupport::THostDatabase Db;
  std::unique_ptr<testsupport::TFarEnd> FarEnd;
  QPointer<TfmtCall> fmtCall;
  TBoxCatcher Boxes;

 private:
  int FObserver = -1;  // the slave opened by the test, to count waiting bytes without reading them
};

// A call line in the exchange's columns with a personal code in columns 77-80, ended by CR LF.
std::string CallLine(const QDateTime& when, const std::string& trunk, const std::string& extension,
                     const std::string& duration, const std::string& number, const std::string& code);

}  // namespace window
