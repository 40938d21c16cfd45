// The serial port component hands its previous text to AfterReceive again when a tick finds no new
// bytes. Purging the input to empty that text would throw away bytes that arrive meanwhile, so the
// cycle instead watches the port's reads to know whether the text it is handed is new, and its opens
// to know when the line started afresh.
#pragma once

#include <memory>

#include "comm.h"

namespace capture {

// Whether a line just opened can be read.
enum class TLineReady {
  lrReady,    // its settings were taken and it answers its error query
  lrPending,  // its connect is still going on (a TCP line)
  lrFailed,   // FailureText() says why
};

// A comm layer that forwards every operation to another and notes each read that delivered bytes,
// each open, and each failing query or read: the port component ignores those failures, but they
// mean the device is lost (its far end hung up, it was unplugged). The main window builds SP on it:
// TSerialPort sp(std::make_unique<TReadWatch>(MakeSystemCommLayer())).
class TReadWatch : public serial::TCommLayer {
 public:
  explicit TReadWatch(std::unique_ptr<serial::TCommLayer> inner);

  // True once after each read that delivered at least one byte.
  bool TakeReceived();
  // True once after each open of the line.
  bool TakeOpened();
  // True once after a query or read of the open line failed; FailureText() says why.
  bool TakeLost();
  const std::string& FailureText() const { return FFailure; }
  // Whether the open line can be read. A driver that refused the line settings since the open fails
  // it: the line would be read at settings nobody chose.
  TLineReady Ready();
  // The open line's driver refused its settings.
  bool Refused() const { return FRefused; }
  // The open line's driver error counts; false while closed or where the driver keeps none.
  bool DriverErrors(serial::TLineErrors& counts);

  serial::TCommHandle Open(const std::string& deviceName) override;
  bool GetState(serial::TCommHandle handle, serial::TLineSettings& settings) override;
  bool SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) override;
  bool ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) override;
  bool Read(serial::TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Purge(serial::TCommHandle handle, std::uint32_t flags) override;
  bool Close(serial::TCommHandle handle) override;
  bool LineErrors(serial::TCommHandle handle, serial::TLineErrors& counts) override;
  bool Connecting(serial::TCommHandle handle) override;
  std::string LastErrorText() const override;
  std::string Describe(const std::string& deviceName) const override;
  serial::TOpenFailure LastOpenFailure() const override;

 private:
  bool Fail();
  // Notes a refusal of the open line's settings; false, for the caller to return.
  bool Refused(serial::TCommHandle handle);

  std::unique_ptr<serial::TCommLayer> FInner;
  bool FReceived = false;
  bool FOpened = false;
  bool FLost = false;
  bool FRefused = false;  // the open line's settings could not be read or written
  serial::TCommHandle FHandle = serial::InvalidCommHandle;
  std::string FFailure;
};

}  // namespace capture
