// An action run once on the next pass of the event loop, however often it was asked for before then:
// a burst of new lines or rows scrolls its view once, not once each.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace window {

class TOnceLater {
 public:
  // The action runs in the owner's thread and never after the owner is gone.
  TOnceLater(QObject& owner, std::function<void()> action) : FTimer(new QTimer(&owner)) {
    FTimer->setSingleShot(true);
    FTimer->setInterval(0);
    QObject::connect(FTimer, &QTimer::timeout, &owner, std::move(action));
  }

  void Request() const {
    if (!FTimer->isActive()) FTimer->start();
  }
  // Not run after all, unless asked for again.
  void Cancel() const { FTimer->stop(); }

 private:
  QTimer* FTimer;
};

}  // namespace window
