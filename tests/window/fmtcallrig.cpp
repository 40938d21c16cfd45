#include "fmtcallrig.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdlib>
#include <stdexcept>

#include "callstore.h"

namespace window {

namespace {

std::string Padded(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string CallLine(const QDateTime& when, const std::string& trunk, const std::string& extension,
                     const std::string& duration, const std::string& number, const std::string& code) {
  const std::string stamp = when.toString(QStringLiteral("dd/MM/yyhh:mm:ss")).toStdString();
  return stamp + "  " + trunk + " " + Padded(extension, 9) + Padded(duration, 8) + Padded(number, 37) + " " +
         code + "\r\n";
}

TBoxCatcher::TBoxCatcher() {
  FTimer.setInterval(10);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
}

void TBoxCatcher::Arm() {
  FSeen.reset();
  FTimer.start();
}

std::optional<TBoxSeen> TBoxCatcher::Take() {
  FTimer.stop();
  return std::exchange(FSeen, std::nullopt);
}

void TBoxCatcher::Look() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) return;
  FTimer.stop();
  FSeen = TBoxSeen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
  box->button(QMessageBox::Ok)->click();
}

const QTemporaryDir& TFmtCallRig::Folder() {
  static const QTemporaryDir folder;
  return folder;
}

TFmtCallRig::TFmtCallRig() : Db(testsupport::TEngine::Sqlite, Folder().path()) {
  std::string error;
  FarEnd = testsupport::MakeFarEnd(error);
  if (!FarEnd) throw std::runtime_error("far end: " + error);
  // Opened before the window's port takes the device for itself.
  FObserver = ::open(std::getenv("LOGCHAMADAS_COM1"), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (FObserver < 0) throw std::runtime_error("cannot watch COM1's device");
}

TFmtCallRig::~TFmtCallRig() {
  Boxes.Take();
  if (fmtCall) fmtCall->close();
  Destroyed();
  ::close(FObserver);
}

void TFmtCallRig::Show() {
  auto store = std::make_unique<calls::TCallStore>(Db.Settings());
  if (!store->Connect()) throw std::runtime_error("store: " + store->LastError().toStdString());
  fmtCall = new TfmtCall(std::move(store));
  fmtCall->show();
  QApplication::setActiveWindow(fmtCall);
  if (!QTest::qWaitForWindowActive(fmtCall)) throw std::runtime_error("the window never became active");
}

bool TFmtCallRig::Send(const std::string& bytes) {
  if (!FarEnd->Write(bytes)) return false;
  // A pseudo-terminal delivers a moment after the write: wait until the tick would see every byte.
  int waiting = 0;
  for (int i = 0; i < 500 && waiting < int(bytes.size()); ++i) {
    if (i > 0) QTest::qWait(10);
    if (::ioctl(FObserver, FIONREAD, &waiting) != 0) return false;
  }
  return waiting == int(bytes.size());
}

QPushButton& TFmtCallRig::Button(const char* name) const {
  return *fmtCall->findChild<QPushButton*>(QLatin1String(name));
}

QTableView& TFmtCallRig::Grid() const {
  return *fmtCall->findChild<QTableView*>(QStringLiteral("gr"));
}

QPlainTextEdit& TFmtCallRig::Memo() const {
  return *fmtCall->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
}

bool TFmtCallRig::TimerOn() const {
  return fmtCall->findChild<QTimer*>(QStringLiteral("Timer"))->isActive();
}

bool TFmtCallRig::Destroyed() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return fmtCall.isNull();
}

}  // namespace window
