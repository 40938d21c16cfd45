// COM1's far end for the window's tests, with the port's device opened by the test as well (before
// the port takes it for itself) to count the bytes that wait without reading them; and call lines to
// send on it.
#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "farend.h"

namespace testsupport {

// A call line in the exchange's columns: when is "dd/mm/yyhh:mm:ss" (columns 1-16). Without a
// personal code it stops at column 75, as an exchange that prints no codes does.
inline std::string CallLine(const std::string& when, const std::string& extension, const std::string& number,
                            const std::string& code = {}, const std::string& trunk = "01",
                            const std::string& duration = "00:01:23") {
  auto padded = [](const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
  };
  return when + "  " + trunk + " " + padded(extension, 9) + duration + padded(number, 37) +
         (code.empty() ? "" : " " + code);
}

class TWatchedLine {
 public:
  TWatchedLine() {
    std::string error;
    FarEnd = testsupport::MakeFarEnd(error);
    if (!FarEnd) throw std::runtime_error("far end: " + error);
    FWatch = testsupport::WatchNearEnd(error);
    if (!FWatch) throw std::runtime_error("cannot watch COM1: " + error);
  }

  // Puts bytes on the line; true once the device holds every byte sent since the last Drained() (a
  // pseudo-terminal delivers a moment late, and holds at most 4095 unread bytes).
  bool Send(const std::string& bytes) {
    FSent += bytes.size();
    if (!FarEnd->Write(bytes) || FSent >= 4096) return false;
    int waiting = 0;
    for (int i = 0; i < 500 && waiting < static_cast<int>(FSent); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      waiting = FWatch->Waiting();
      if (waiting < 0) return false;
    }
    return waiting == static_cast<int>(FSent);
  }
  // The port has read what waited.
  void Drained() { FSent = 0; }

  std::unique_ptr<testsupport::TFarEnd> FarEnd;

 private:
  std::unique_ptr<testsupport::TNearEndWatch> FWatch;
  std::size_t FSent = 0;
};

}  // namespace testsupport
