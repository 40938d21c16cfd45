// A comm layer that plays a line from a script and writes down every call, for checking the exact
// sequence the component makes. The script outlives the layer, which the port owns and destroys.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm.h"
#include "serialport.h"

namespace serialtest {

struct TFakeLine {
  // One entry per call: "Open COM2", "GetState", "SetState", "ClearError", "Read 4", "Purge 10",
  // "Close"; event handlers of the tests append theirs to the same list.
  std::vector<std::string> calls;
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

  explicit TFakeComm(std::shared_ptr<TFakeLine> line) : FLine(std::move(line)) {}

  serial::TCommHandle Open(const std::string& deviceName) override;
  bool GetState(serial::TCommHandle handle, serial::TLineSettings& settings) override;
  bool SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) override;
  bool ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) override;
  bool Read(serial::TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Purge(serial::TCommHandle handle, std::uint32_t flags) override;
  bool Close(serial::TCommHandle handle) override;

 private:
  // Records the call, and a wrong handle as such.
  void Log(serial::TCommHandle handle, const std::string& call);

  std::shared_ptr<TFakeLine> FLine;
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

}  // namespace serialtest
