// The serial port component hands its previous text to AfterReceive again when a tick finds no new
// bytes. Purging the input to empty that text would throw away bytes that arrive meanwhile, so the
// cycle instead watches the port's reads to know whether the text it is handed is new, and its opens
// to know when the line started afresh.
#pragma once

#include <memory>

#include "comm.h"

namespace capture {

// A comm layer that forwards every operation to another and notes each read that delivered bytes and
// each open. The main window builds SP on it: TSerialPort
// sp(std::make_unique<TReadWatch>(MakeSystemCommLayer())).
class TReadWatch : public serial::TCommLayer {
 public:
  explicit TReadWatch(std::unique_ptr<serial::TCommLayer> inner);

  // True once after each read that delivered at least one byte.
  bool TakeReceived();
  // True once after each open of the line.
  bool TakeOpened();

  serial::TCommHandle Open(const std::string& deviceName) override;
  bool GetState(serial::TCommHandle handle, serial::TLineSettings& settings) override;
  bool SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) override;
  bool ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) override;
  bool Read(serial::TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Purge(serial::TCommHandle handle, std::uint32_t flags) override;
  bool Close(serial::TCommHandle handle) override;

 private:
  std::unique_ptr<serial::TCommLayer> FInner;
  bool FReceived = false;
  bool FOpened = false;
};

}  // namespace capture
