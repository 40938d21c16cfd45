// A comm layer that plays a line from a script and writes down every call, for checking the exact
// sequence the component makes. The script outlives the layer, which the port owns and destroys.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm.h"
#include "serialport.h"

namespace serialtest {

using Calls = std::vector<std::string>;

// The names the tests of the component's settings use.
using serial::TBaudRate;
using serial::TDataBits;
using serial::TFlowControl;
using serial::TParityType;
using serial::TSerialPort;
using serial::TStopBits;
using P = TSerialPort&;  // a port, as a setting's change takes it
namespace cf = serial::commflag;

struct TFakeLine {
  // One entry per call: "Open COM2", "GetState", "SetState", "ClearError", "Read 4", "Purge 10",
  // "Close"; event handlers of the tests append theirs to the same list.
  Calls calls;
  bool opens = true;
  bool getStateWorks = true;
  bool setStateWorks = true;
  bool clearErrorWorks = true;
  bool closeWorks = true;
  serial::TLineSettings state;                   // what GetState reports; a working SetState replaces it
  std::vector<serial::TLineSettings> written;    // every record handed to SetState
  std::string waiting;                           // the input queue
  std::optional<std::uint32_t> reportedWaiting;  // a count to report instead of the queue's size
  std::optional<std::uint32_t> readLimit;        // at most this many bytes per read
};

class TFakeComm final : public serial::TCommLayer {
 public:
  static constexpr serial::TCommHandle kHandle = 42;

  explicit TFakeComm(std::shared_ptr<TFakeLine> line) : L(std::move(line)) {}

  serial::TCommHandle Open(const std::string& deviceName) override {
    L->calls.push_back("Open " + deviceName);
    return L->opens ? kHandle : serial::InvalidCommHandle;
  }
  bool GetState(serial::TCommHandle handle, serial::TLineSettings& settings) override {
    Log(handle, "GetState");
    if (L->getStateWorks) settings = L->state;
    return L->getStateWorks;
  }
  bool SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) override {
    Log(handle, "SetState");
    L->written.push_back(settings);
    if (L->setStateWorks) L->state = settings;
    return L->setStateWorks;
  }
  bool ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) override {
    Log(handle, "ClearError");
    if (L->clearErrorWorks)
      bytesWaiting = L->reportedWaiting.value_or(static_cast<std::uint32_t>(L->waiting.size()));
    return L->clearErrorWorks;
  }
  bool Read(serial::TCommHandle handle, char* buffer, std::uint32_t count,
            std::uint32_t& bytesRead) override {
    Log(handle, "Read " + std::to_string(count));
    const std::size_t n = std::min<std::size_t>({count, L->waiting.size(), L->readLimit.value_or(count)});
    std::memcpy(buffer, L->waiting.data(), n);
    L->waiting.erase(0, n);
    bytesRead = static_cast<std::uint32_t>(n);
    return n == count;
  }
  bool Purge(serial::TCommHandle handle, std::uint32_t flags) override {
    Log(handle, "Purge " + std::to_string(flags));
    if ((flags & serial::purge::RxClear) != 0) L->waiting.clear();
    return true;
  }
  bool Close(serial::TCommHandle handle) override {
    Log(handle, "Close");
    return L->closeWorks;
  }

 private:
  // Records the call, and a wrong handle as such.
  void Log(serial::TCommHandle handle, const std::string& call) {
    L->calls.push_back(handle == kHandle ? call : call + " on a wrong handle");
  }

  std::shared_ptr<TFakeLine> L;
};

// A port over a fresh fake line (declared first, so it outlives the port's closing calls).
struct TPortOnFakeLine {
  std::shared_ptr<TFakeLine> line = std::make_shared<TFakeLine>();
  serial::TSerialPort port{std::make_unique<TFakeComm>(line)};

  // Opens the port and forgets the calls that took, so a test sees only its own.
  void OpenQuietly() {
    port.OpenPort();
    line->calls.clear();
    line->written.clear();
  }
};

// What a driver reports for a freshly opened line: binary, DTR and RTS on, 9600 8N1, XON 17, XOFF 19.
inline const serial::TLineSettings kFreshLine{
    9600, cf::Binary | cf::DtrControlEnable | cf::RtsControlEnable, 0, 0, 8, 0, 0, 17, 19, 0, 0, 0};

// The whole record a port writes onto a fresh line once the change is made (written in full, also
// when the change left every value as it was).
inline serial::TLineSettings RecordAfter(const std::function<void(P)>& change) {
  TPortOnFakeLine fake;
  fake.line->state = kFreshLine;
  fake.OpenQuietly();
  change(fake.port);
  fake.port.ApplySettings();
  return fake.line->written.back();
}

}  // namespace serialtest
