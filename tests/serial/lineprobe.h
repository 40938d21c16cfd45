// The system's comm layer, remembering the handle it opened so a test can ask the line itself (not
// the component) how many bytes wait and which settings it holds.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "comm.h"

namespace serialtest {

class TLineProbe final : public serial::TCommLayer {
 public:
  serial::TCommHandle Open(const std::string& deviceName) override {
    return FHandle = FSystem->Open(deviceName);
  }
  bool GetState(serial::TCommHandle h, serial::TLineSettings& s) override { return FSystem->GetState(h, s); }
  bool SetState(serial::TCommHandle h, const serial::TLineSettings& s) override {
    return FSystem->SetState(h, s);
  }
  bool ClearError(serial::TCommHandle h, std::uint32_t& n) override { return FSystem->ClearError(h, n); }
  bool Read(serial::TCommHandle h, char* b, std::uint32_t c, std::uint32_t& r) override {
    return FSystem->Read(h, b, c, r);
  }
  bool Purge(serial::TCommHandle h, std::uint32_t f) override { return FSystem->Purge(h, f); }
  bool Close(serial::TCommHandle h) override {
    FHandle = serial::InvalidCommHandle;
    return FSystem->Close(h);
  }

  serial::TCommHandle Handle() const { return FHandle; }
  // Bytes waiting on the line now, or -1 when the line will not say.
  long long Waiting() const {
    std::uint32_t waiting = 0;
    return FSystem->ClearError(FHandle, waiting) ? static_cast<long long>(waiting) : -1;
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
  bool Settings(serial::TLineSettings& line) const { return FSystem->GetState(FHandle, line); }

 private:
  std::unique_ptr<serial::TCommLayer> FSystem = serial::MakeSystemCommLayer();
  serial::TCommHandle FHandle = serial::InvalidCommHandle;
};

}  // namespace serialtest
