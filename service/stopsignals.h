// The system asking the program to end: on Linux a signal (SIGTERM at shut-down or from `kill`, SIGINT
// from Ctrl+C in a terminal, SIGHUP when the terminal goes), whose default ends the program like a
// crash, so the bytes the driver holds would go with it. Here each becomes a call on the event loop, once;
// a second signal, the same or another, ends the program at once, as the default would. Windows ends a
// window program through its session messages, which Qt already turns into closing the window; a service
// is asked to stop by the service manager, whose control becomes the same call (servicemanager.h).
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace window {

// stop gets the signal's name ("SIGTERM"); it is called on context's thread while context lives.
void OnStopSignal(QObject& context, std::function<void(const QString& signal)> stop);

// A reader of standard error that went away (`logchamadas 2>&1 | tee log`, tee ended first) makes the
// next history line fail, harmlessly, instead of ending the program before the line the driver holds is
// journaled. For the program entry, first of all.
void IgnoreBrokenPipe();

#ifdef Q_OS_WIN
// The service manager's stop or shut-down, from any thread: OnStopSignal's stop gets name (a literal).
void RaiseStopSignal(const char* name);
#endif

}  // namespace window
