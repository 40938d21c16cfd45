// Windows: the program as a service. The service manager that starts it waits for the process to
// connect within seconds, must hear when it starts, runs and stops (with its status), and asks it to
// stop by a control (the operator's stop, the system's shut-down) that becomes the same stop request
// SIGTERM makes on Linux (OnStopSignal). Started any other way, the program just runs.
#pragma once

#include <functional>

namespace service {

// Runs run() on this thread (the event loop's) and returns its status; the service manager's
// dispatcher, when the manager started the process, gets a thread of its own.
int RunUnderServiceManager(const std::function<int()>& run);

}  // namespace service
