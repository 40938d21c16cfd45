#include "serialport.h"

#include <algorithm>
#include <array>
#include <utility>

namespace serial {

namespace {

// Line values indexed by the ordinal of each enumeration.
constexpr std::array<std::uint32_t, 13> kBaudRates = {110,   300,   600,   1200,  2400,   4800,  9600,
                                                      14400, 19200, 38400, 56000, 128000, 256000};
// The system numbers parity none 0, odd 1, even 2, mark 3, space 4; the enumeration lists even first.
constexpr std::array<std::uint8_t, 5> kParityCodes = {0, 2, 1, 3, 4};
constexpr std::array<std::uint8_t, 3> kStopBitCodes = {0, 1, 2};
constexpr std::array<std::uint8_t, 5> kDataBits = {4, 5, 6, 7, 8};

// Driver input queues hold a few KiB; a larger count can only be nonsense, and reading it in one
// piece would let a faulty driver claim unbounded memory. The rest stays queued for the next read.
constexpr std::uint32_t kMaxReadBytes = 64 * 1024;

template <class E>
constexpr std::size_t Ordinal(E value) {
  return static_cast<std::size_t>(value);
}

// Stores value in field when it differs; tells whether it did.
template <class T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// A handshaking control line takes the handshake mode; one left handshaking by an earlier setting goes
// back to plainly enabled; a line the driver holds enabled or disabled stays as it is.
std::uint32_t WithControl(std::uint32_t flags, std::uint32_t mask, std::uint32_t handshake,
                          std::uint32_t enable, bool handshaking) {
  if (handshaking) return (flags & ~mask) | handshake;
  if ((flags & mask) == handshake) return (flags & ~mask) | enable;
  return flags;
}

}  // namespace

std::uint32_t BaudRateValue(TBaudRate rate) {
  return kBaudRates[Ordinal(rate)];
}

TSerialPort::TSerialPort(std::unique_ptr<TCommLayer> comm) : FComm(std::move(comm)) {}

TSerialPort::~TSerialPort() {
  ClosePort();
}

std::string TSerialPort::DeviceName() const {
  return "COM" + std::to_string(Ordinal(FCommPort) + 1);
}

bool TSerialPort::OpenPort() {
  ClosePort();
  if (FComm) FHandle = FComm->Open(DeviceName());
  ApplySettings();
  return IsOpen();
}

bool TSerialPort::ClosePort() {
  // A port that is not open has nothing to close: report failure rather than a false success.
  if (!IsOpen()) return false;
  PurgeOutput();
  PurgeInput();
  const bool closed = FComm->Close(FHandle);
  FHandle = InvalidCommHandle;
  return closed;
}

void TSerialPort::ReceiveData(std::string& text) {
  if (!IsOpen()) return;
  if (OnReceive) OnReceive(*this, FData);

  // The handler may have closed the port; then there is nothing to ask.
  std::uint32_t waiting = 0;
  if (IsOpen() && FComm->ClearError(FHandle, waiting) && waiting > 0) {
    std::string bytes(std::min(waiting, kMaxReadBytes), '\0');
    std::uint32_t got = 0;
    FComm->Read(FHandle, bytes.data(), static_cast<std::uint32_t>(bytes.size()), got);
    // Only what the read delivered, and a stray zero byte must not cost the bytes after it.
    bytes.resize(std::min<std::size_t>(got, bytes.size()));
    std::erase(bytes, '\0');
    FData = std::move(bytes);
  }

  if (AfterReceive) AfterReceive(*this, FData);
  text = FData;
}

void TSerialPort::ApplySettings() {
  if (!IsOpen()) return;
  TLineSettings line;
  // Writing back a record that could not be read would put invented values on the line.
  if (!FComm->GetState(FHandle, line)) return;

  line.BaudRate = BaudRateValue(FBaudRate);
  line.Parity = kParityCodes[Ordinal(FParityType)];
  line.ErrorChar = static_cast<char>(FErrorChar);
  line.StopBits = kStopBitCodes[Ordinal(FStopBits)];
  line.ByteSize = kDataBits[Ordinal(FDataBits)];
  line.XonChar = static_cast<char>(FXONChar);
  line.XoffChar = static_cast<char>(FXOFFChar);
  line.XonLim = FXONLim;
  line.XoffLim = FXOFFLim;
  if (FEOFChar != 0) line.EofChar = static_cast<char>(FEOFChar);
  line.Flags = LineFlags(line.Flags);

  // A line that refuses the record keeps its previous settings and stays open.
  FComm->SetState(FHandle, line);
}

std::uint32_t TSerialPort::LineFlags(std::uint32_t driverFlags) const {
  namespace cf = commflag;
  if (!FLineFlagsOwned) return driverFlags;

  std::uint32_t flags = driverFlags & ~(cf::Parity | cf::ErrorChar | cf::Null | cf::OutX | cf::InX |
                                        cf::OutxCtsFlow | cf::OutxDsrFlow);
  if (FParityErrorChecking) flags |= cf::Parity;
  if (FParityErrorReplacement) flags |= cf::ErrorChar;
  if (FStripNullChars) flags |= cf::Null;
  if (FFlowControl == TFlowControl::fcXON_XOFF) flags |= cf::OutX | cf::InX;
  if (FFlowControl == TFlowControl::fcRTS_CTS) flags |= cf::OutxCtsFlow;
  if (FFlowControl == TFlowControl::fsDSR_DTR) flags |= cf::OutxDsrFlow;
  flags = WithControl(flags, cf::RtsControlMask, cf::RtsControlHandshake, cf::RtsControlEnable,
                      FFlowControl == TFlowControl::fcRTS_CTS);
  return WithControl(flags, cf::DtrControlMask, cf::DtrControlHandshake, cf::DtrControlEnable,
                     FFlowControl == TFlowControl::fsDSR_DTR);
}

void TSerialPort::PurgeInput() {
  if (!IsOpen()) return;
  FComm->Purge(FHandle, purge::RxAbort | purge::RxClear);
  FData.clear();
}

void TSerialPort::PurgeOutput() {
  if (!IsOpen()) return;
  FComm->Purge(FHandle, purge::TxAbort | purge::TxClear);
}

void TSerialPort::SetCommPort(TCommPort value) {
  if (Store(FCommPort, value)) ApplySettings();
}
void TSerialPort::SetBaudRate(TBaudRate value) {
  if (Store(FBaudRate, value)) ApplySettings();
}
void TSerialPort::SetParityType(TParityType value) {
  if (Store(FParityType, value)) ApplySettings();
}
void TSerialPort::SetStopBits(TStopBits value) {
  if (Store(FStopBits, value)) ApplySettings();
}
void TSerialPort::SetDataBits(TDataBits value) {
  if (Store(FDataBits, value)) ApplySettings();
}
void TSerialPort::SetXONChar(std::uint8_t value) {
  if (Store(FXONChar, value)) ApplySettings();
}
void TSerialPort::SetXOFFChar(std::uint8_t value) {
  if (Store(FXOFFChar, value)) ApplySettings();
}
void TSerialPort::SetXONLim(std::uint16_t value) {
  if (Store(FXONLim, value)) ApplySettings();
}
void TSerialPort::SetXOFFLim(std::uint16_t value) {
  if (Store(FXOFFLim, value)) ApplySettings();
}
void TSerialPort::SetErrorChar(std::uint8_t value) {
  if (Store(FErrorChar, value)) ApplySettings();
}
void TSerialPort::SetEOFChar(std::uint8_t value) {
  if (Store(FEOFChar, value)) ApplySettings();
}
void TSerialPort::SetParityErrorChar(std::uint8_t value) {
  if (Store(FParityErrorChar, value)) ApplySettings();
}

void TSerialPort::TakeLineFlags() {
  FLineFlagsOwned = true;
  ApplySettings();
}

void TSerialPort::SetParityErrorChecking(bool value) {
  if (Store(FParityErrorChecking, value)) TakeLineFlags();
}
void TSerialPort::SetParityErrorReplacement(bool value) {
  if (Store(FParityErrorReplacement, value)) TakeLineFlags();
}
void TSerialPort::SetFlowControl(TFlowControl value) {
  if (Store(FFlowControl, value)) TakeLineFlags();
}
void TSerialPort::SetStripNullChars(bool value) {
  if (Store(FStripNullChars, value)) TakeLineFlags();
}

}  // namespace serial
