#include "servicemanager.h"

namespace service {

// systemd runs the program as it is and asks it to stop by SIGTERM (OnStopSignal): nothing to report.
int RunUnderServiceManager(const std::function<int()>& run) {
  return run();
}

}  // namespace service
