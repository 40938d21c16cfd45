// TfmtCall, the program's only window: the day's calls in the grid, the raw lines in the log
// panel, and the buttons that connect and disconnect the port and close the program. It owns every
// object of the system; its handlers only delegate to them.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "windowstate.h"

namespace Ui {
class TfmtCall;
}
namespace serial {
class TSerialPort;
}
namespace calls {
class TCallStore;
}
class QTimer;

namespace window {

class TCallGridModel;
class TMemoLog;
class TReceiveCycle;

// Shows a modal error message over the window.
using TErrorBox = std::function<void(QWidget& parent, const QString& text)>;
// The one the operator sees: titled "Error", the error icon, one OK button.
void ShowErrorBox(QWidget& parent, const QString& text);

class TfmtCall : public QWidget {
  Q_OBJECT
 public:
  // Takes the store already connected; the port is built here, on COM1.
  explicit TfmtCall(std::unique_ptr<calls::TCallStore> store, TErrorBox errorBox = ShowErrorBox,
                    QWidget* parent = nullptr);
  ~TfmtCall() override;

 public slots:
  void FormShow();
  void bb08Click();
  void bb05Click();
  void bb12Click();
  void BitBtn1Click();
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;  // FormClose

 private:
  void ShowState();

  std::unique_ptr<Ui::TfmtCall> ui;
  std::unique_ptr<calls::TCallStore> FStore;
  std::unique_ptr<serial::TSerialPort> SP;
  std::unique_ptr<TMemoLog> FLog;
  std::unique_ptr<TReceiveCycle> FCycle;
  std::unique_ptr<TCallGridModel> FGridModel;
  QTimer* Timer;
  TWindowState FState;
  TErrorBox FErrorBox;
};

}  // namespace window
