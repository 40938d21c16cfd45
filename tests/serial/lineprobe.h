// The system's comm layer with a window onto the line the port opened, so a test can ask the line
// itself (not the component) how many bytes wait and which settings it holds.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "comm.h"

namespace serialtest {

struct TLineProbe {
  std::shared_ptr<serial::TCommLayer> system = serial::MakeSystemCommLayer();
  serial::TCommHandle handle = serial::InvalidCommHandle;

  // Bytes waiting on the line now, or -1 when the line will not say.
  long long Waiting() const {
    std::uint32_t waiting = 0;
    return system->ClearError(handle, waiting) ? static_cast<long long>(waiting) : -1;
  }
  // Polls until at least count bytes wait (a driver may still be moving them), for at most about five
  // seconds; returns the last count seen.
  long long WaitFor(long long count) const {
    long long seen = Waiting();
    for (int round = 0; round < 500 && seen >= 0 && seen < count; ++round) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      seen = Waiting();
    }
    return seen;
  }
  bool Settings(serial::TLineSettings& line) const { return system->GetState(handle, line); }
};

// Hands every call to the probe's system layer and remembers the handle it opened.
class TProbedComm final : public serial::TCommLayer {
 public:
  explicit TProbedComm(std::shared_ptr<TLineProbe> probe) : FProbe(std::move(probe)) {}

  serial::TCommHandle Open(const std::string& deviceName) override {
    return FProbe->handle = FProbe->system->Open(deviceName);
  }
  bool GetState(serial::TCommHandle h, serial::TLineSettings& s) override {
    return FProbe->system->GetState(h, s);
  }
  bool SetState(serial::TCommHandle h, const serial::TLineSettings& s) override {
    return FProbe->system->SetState(h, s);
  }
  bool ClearError(serial::TCommHandle h, std::uint32_t& n) override {
    return FProbe->system->ClearError(h, n);
  }
  bool Read(serial::TCommHandle h, char* b, std::uint32_t c, std::uint32_t& r) override {
    return FProbe->system->Read(h, b, c, r);
  }
  bool Purge(serial::TCommHandle h, std::uint32_t f) override { return FProbe->system->Purge(h, f); }
  bool Close(serial::TCommHandle h) override {
    FProbe->handle = serial::InvalidCommHandle;
    return FProbe->system->Close(h);
  }

 private:
  std::shared_ptr<TLineProbe> FProbe;
};

}  // namespace serialtest
