// The few operating-system comm operations the serial port component is built on.
// One serial implementation per system (comm_posix.cpp, comm_win32.cpp), chosen by the build, and one
// for lines over TCP (comm_tcp.h); TLineRouter (linerouter.h) picks between them by the device's name.
// Tests may substitute their own to watch the call sequence.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace serial {

// An open device; -1 stands for "no device", like INVALID_HANDLE_VALUE on Windows.
using TCommHandle = std::intptr_t;
inline constexpr TCommHandle InvalidCommHandle = -1;

// Flag word bits, numbered as in the Win32 DCB so both systems share one meaning.
namespace commflag {
inline constexpr std::uint32_t Binary = 1u << 0;
inline constexpr std::uint32_t Parity = 1u << 1;  // check parity on input
inline constexpr std::uint32_t OutxCtsFlow = 1u << 2;
inline constexpr std::uint32_t OutxDsrFlow = 1u << 3;
inline constexpr std::uint32_t DtrControlMask = 3u << 4;
inline constexpr std::uint32_t DtrControlEnable = 1u << 4;
inline constexpr std::uint32_t DtrControlHandshake = 2u << 4;
inline constexpr std::uint32_t DsrSensitivity = 1u << 6;
inline constexpr std::uint32_t TXContinueOnXoff = 1u << 7;
inline constexpr std::uint32_t OutX = 1u << 8;
inline constexpr std::uint32_t InX = 1u << 9;
inline constexpr std::uint32_t ErrorChar = 1u << 10;  // replace bytes with parity errors
inline constexpr std::uint32_t Null = 1u << 11;       // discard zero bytes
inline constexpr std::uint32_t RtsControlMask = 3u << 12;
inline constexpr std::uint32_t RtsControlEnable = 1u << 12;
inline constexpr std::uint32_t RtsControlHandshake = 2u << 12;
inline constexpr std::uint32_t AbortOnError = 1u << 14;
}  // namespace commflag

// The line settings record (the fields of the Win32 DCB the component reads or writes).
struct TLineSettings {
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;

  friend bool operator==(const TLineSettings&, const TLineSettings&) = default;
};

// Line errors a driver counted on an open handle since it opened.
struct TLineErrors {
  std::uint32_t Frame = 0;
  std::uint32_t Parity = 0;
  std::uint32_t Overrun = 0;
  std::uint32_t Break = 0;

  friend bool operator==(const TLineErrors&, const TLineErrors&) = default;
};

// Purge selectors, as the Win32 PurgeComm flags.
namespace purge {
inline constexpr std::uint32_t TxAbort = 0x0001;
inline constexpr std::uint32_t RxAbort = 0x0002;
inline constexpr std::uint32_t TxClear = 0x0004;
inline constexpr std::uint32_t RxClear = 0x0008;
}  // namespace purge

// Why an open failed, as far as the system tells: whether the device is not there, or another
// program holds it (opens are exclusive, so a running logger holds its port), or the user may not
// open it.
enum class TOpenFailure { ofOther, ofMissing, ofHeld, ofDenied };

// An open, a failing query or a failing read never waits: the receive cycle calls them on the
// interface thread, also to try a lost device again.
class TCommLayer {
 public:
  virtual ~TCommLayer() = default;

  // Opens a device for exclusive use: "COM1".."COM8" (or whatever the system maps that name to), a
  // device path (devicepath.h), or for the TCP layer "tcp://HOST:PORT".
  virtual TCommHandle Open(const std::string& deviceName) = 0;
  virtual bool GetState(TCommHandle handle, TLineSettings& settings) = 0;
  virtual bool SetState(TCommHandle handle, const TLineSettings& settings) = 0;
  // Clears the line's error state and reports how many bytes wait in the input queue.
  virtual bool ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) = 0;
  virtual bool Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) = 0;
  virtual bool Purge(TCommHandle handle, std::uint32_t flags) = 0;
  virtual bool Close(TCommHandle handle) = 0;

  // Whether the line's connect is still going on: open, answering its queries with nothing waiting,
  // but not yet connected (only the TCP layer ever says so).
  virtual bool Connecting(TCommHandle /*handle*/) { return false; }
  // The line errors the driver counted since the handle opened; false when the driver or device keeps
  // no counts (a pseudo-terminal, a network connection), which is no failure.
  virtual bool LineErrors(TCommHandle /*handle*/, TLineErrors& /*counts*/) { return false; }
  // The system's words for why the last failing operation failed, in UTF-8 (as every layer writes
  // them); empty when this layer cannot tell.
  virtual std::string LastErrorText() const { return {}; }
  // The device a name leads to, as the operator should read it ("COM1 (/dev/ttyUSB0)").
  virtual std::string Describe(const std::string& deviceName) const { return deviceName; }
  // Why the last failing Open failed; ofOther where this layer cannot tell.
  virtual TOpenFailure LastOpenFailure() const { return TOpenFailure::ofOther; }
};

// The implementation for the system this program was built for.
std::unique_ptr<TCommLayer> MakeSystemCommLayer();

}  // namespace serial
