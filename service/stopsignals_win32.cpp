#include <windows.h>

#include <QWinEventNotifier>
#include <atomic>

#include "stopsignals.h"

namespace window {

namespace {

// Set by the service manager's control handler on its own thread, waited for on the context's
// thread. Manual reset: a stop requested before OnStopSignal is still seen.
HANDLE StopEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

std::atomic<const char*> StopName = nullptr;

}  // namespace

void RaiseStopSignal(const char* name) {
  const char* none = nullptr;
  StopName.compare_exchange_strong(none, name);
  ::SetEvent(StopEvent());
}

// A window program needs nothing more: at shut-down Windows sends WM_QUERYENDSESSION, which Qt turns
// into the session's end, and `taskkill` sends WM_CLOSE, which closes the window as the operator would.
void OnStopSignal(QObject& context, std::function<void(const QString& signal)> stop) {
  auto* notifier = new QWinEventNotifier(StopEvent(), &context);
  QObject::connect(notifier, &QWinEventNotifier::activated, &context, [notifier, stop = std::move(stop)] {
    // Once, as on Linux: the event stays set.
    notifier->setEnabled(false);
    stop(QString::fromLatin1(StopName.load()));
  });
}

// A write to a pipe with no reader fails there; no signal comes of it.
void IgnoreBrokenPipe() {}

}  // namespace window
