// TSerialPort: one serial port as a component with line settings, non-blocking reads and receive
// events. Every operation runs on the caller's thread and none ever throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm.h"

namespace serial {

enum class TCommPort { cpCOM1, cpCOM2, cpCOM3, cpCOM4, cpCOM5, cpCOM6, cpCOM7, cpCOM8 };
enum class TBaudRate {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br128000,
  br256000
};
enum class TParityType { pcNone, pcEven, pcOdd, pcMark, pcSpace };
enum class TStopBits { sbOne, sbOnePtFive, sbTwo };
enum class TDataBits { db4, db5, db6, db7, db8 };
enum class TFlowControl { fcNone, fcXON_XOFF, fcRTS_CTS, fsDSR_DTR };

// Bits per second of a rate.
std::uint32_t BaudRateValue(TBaudRate rate);

class TSerialPort;
using TNotifyRXEvent = std::function<void(TSerialPort& Sender, std::string data)>;
using TNotifyTXEvent = std::function<void(TSerialPort& Sender, std::string data)>;

class TSerialPort {
 public:
  // Uses the system's comm layer unless one is given (tests pass their own).
  explicit TSerialPort(std::unique_ptr<TCommLayer> comm = MakeSystemCommLayer());
  ~TSerialPort();
  TSerialPort(const TSerialPort&) = delete;
  TSerialPort& operator=(const TSerialPort&) = delete;

  // Closes first, then opens DeviceName() and applies the settings; false leaves the port closed.
  bool OpenPort();
  // Purges output and input, closes; false when the port was not open or the close failed.
  bool ClosePort();
  // While open: fires OnReceive with the previous text, reads what waits (zero bytes dropped), fires
  // AfterReceive with the text and hands it back. While closed: nothing, text untouched.
  void ReceiveData(std::string& text);
  // Writes the settings onto the open line's current record; a refusing line keeps its own.
  void ApplySettings();
  // While open: empties the driver's input queue and the last received text.
  void PurgeInput();
  void PurgeOutput();

  bool IsOpen() const { return FHandle != InvalidCommHandle; }
  // "COM1".."COM8" for the current CommPort; takes effect at the next OpenPort. This name is what the
  // comm layer is asked to open. Any other device (a path, COM12, tcp://HOST:PORT) reaches the port
  // through the layer: a TLineRouter maps the name to the site's device (linerouter.h), as
  // LOGCHAMADAS_COMn always mapped it on Linux.
  std::string DeviceName() const;

  TCommPort CommPort() const { return FCommPort; }
  TBaudRate BaudRate() const { return FBaudRate; }
  TParityType ParityType() const { return FParityType; }
  TStopBits StopBits() const { return FStopBits; }
  TDataBits DataBits() const { return FDataBits; }
  std::uint8_t XONChar() const { return FXONChar; }
  std::uint8_t XOFFChar() const { return FXOFFChar; }
  std::uint16_t XONLim() const { return FXONLim; }
  std::uint16_t XOFFLim() const { return FXOFFLim; }
  std::uint8_t ErrorChar() const { return FErrorChar; }
  std::uint8_t EOFChar() const { return FEOFChar; }
  std::uint8_t ParityErrorChar() const { return FParityErrorChar; }
  bool ParityErrorChecking() const { return FParityErrorChecking; }
  bool ParityErrorReplacement() const { return FParityErrorReplacement; }
  TFlowControl FlowControl() const { return FFlowControl; }
  bool StripNullChars() const { return FStripNullChars; }

  // Each setter stores and applies only a value that differs from the current one.
  void SetCommPort(TCommPort value);
  void SetBaudRate(TBaudRate value);
  void SetParityType(TParityType value);
  void SetStopBits(TStopBits value);
  void SetDataBits(TDataBits value);
  void SetXONChar(std::uint8_t value);
  void SetXOFFChar(std::uint8_t value);
  void SetXONLim(std::uint16_t value);
  void SetXOFFLim(std::uint16_t value);
  void SetErrorChar(std::uint8_t value);
  void SetEOFChar(std::uint8_t value);
  void SetParityErrorChar(std::uint8_t value);
  void SetParityErrorChecking(bool value);
  void SetParityErrorReplacement(bool value);
  void SetFlowControl(TFlowControl value);
  void SetStripNullChars(bool value);

  TNotifyTXEvent OnTransmit;
  TNotifyRXEvent OnReceive;
  TNotifyTXEvent AfterTransmit;
  TNotifyRXEvent AfterReceive;

 private:
  std::unique_ptr<TCommLayer> FComm;
  TCommHandle FHandle = InvalidCommHandle;
  std::string FData;
  // Set once any of the four flag-word options has been changed: from then on the component, not the
  // driver, decides the flag bits those options govern (so switching an option back also switches it off).
  bool FLineFlagsOwned = false;

  std::uint32_t LineFlags(std::uint32_t driverFlags) const;
  void TakeLineFlags();

  TCommPort FCommPort = TCommPort::cpCOM2;
  TBaudRate FBaudRate = TBaudRate::br9600;
  TParityType FParityType = TParityType::pcNone;
  TStopBits FStopBits = TStopBits::sbOne;
  TDataBits FDataBits = TDataBits::db8;
  std::uint8_t FXONChar = 17;
  std::uint8_t FXOFFChar = 19;
  std::uint16_t FXONLim = 1024;
  std::uint16_t FXOFFLim = 2048;
  std::uint8_t FErrorChar = 0;
  std::uint8_t FEOFChar = 0;
  std::uint8_t FParityErrorChar = 0;
  bool FParityErrorChecking = false;
  bool FParityErrorReplacement = false;
  TFlowControl FFlowControl = TFlowControl::fcNone;
  bool FStripNullChars = false;
};

}  // namespace serial
