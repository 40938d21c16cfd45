#include "lineprobe.h"

#include <chrono>
#include <thread>

namespace serialtest {

long long TLineProbe::Waiting() const {
  std::uint32_t waiting = 0;
  return system->ClearError(handle, waiting) ? static_cast<long long>(waiting) : -1;
}

long long TLineProbe::WaitFor(long long count) const {
  long long seen = Waiting();
  for (int round = 0; round < 500 && seen >= 0 && seen < count; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    seen = Waiting();
  }
  return seen;
}

}  // namespace serialtest
