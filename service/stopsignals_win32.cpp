#include "stopsignals.h"

namespace window {

// At shut-down Windows sends WM_QUERYENDSESSION, which Qt turns into the session's end; `taskkill`
// sends WM_CLOSE, which closes the window as the operator would.
void OnStopSignal(QObject&, std::function<void(const QString&)>) {}

// A write to a pipe with no reader fails there; no signal comes of it.
void IgnoreBrokenPipe() {}

}  // namespace window
