// How each TSerialPort setting reaches a Windows line: the component writes the record
// (serialport.cpp, the flag word in TSerialPort::LineFlags) and the record goes into the DCB as is.
//   BaudRate        DCB.BaudRate, the number itself (the driver takes what its divisor can make)
//   DataBits        DCB.ByteSize 4..8 (drivers refuse 4: SetCommState fails, the line keeps its own)
//   ParityType      DCB.Parity: NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4
//   StopBits        DCB.StopBits: ONESTOPBIT 0, ONE5STOPBITS 1, TWOSTOPBITS 2
//   fcXON_XOFF      fOutX and fInX, with XonChar/XoffChar and XonLim/XoffLim
//   fcRTS_CTS       fOutxCtsFlow, and fRtsControl = RTS_CONTROL_HANDSHAKE
//   fsDSR_DTR       fOutxDsrFlow, and fDtrControl = DTR_CONTROL_HANDSHAKE
//   fcNone          none of those; a handshaking RTS or DTR goes back to enabled
//   ParityErrorChecking     fParity (bytes with a parity error are reported by ClearCommError)
//   ParityErrorReplacement  fErrorChar: such bytes become ErrorChar
//   StripNullChars          fNull: the driver discards zero bytes
#include "dcbflags.h"

namespace serial {
namespace {

std::uint32_t Bits(std::uint32_t value, int shift) {
  return value << shift;
}
DWORD Field(std::uint32_t flags, int shift, int width) {
  return (flags >> shift) & ((1u << width) - 1u);
}

}  // namespace

std::uint32_t FlagWordOf(const DCB& dcb) {
  return Bits(dcb.fBinary, 0) | Bits(dcb.fParity, 1) | Bits(dcb.fOutxCtsFlow, 2) | Bits(dcb.fOutxDsrFlow, 3) |
         Bits(dcb.fDtrControl, 4) | Bits(dcb.fDsrSensitivity, 6) | Bits(dcb.fTXContinueOnXoff, 7) |
         Bits(dcb.fOutX, 8) | Bits(dcb.fInX, 9) | Bits(dcb.fErrorChar, 10) | Bits(dcb.fNull, 11) |
         Bits(dcb.fRtsControl, 12) | Bits(dcb.fAbortOnError, 14);
}

void SetFlagWord(DCB& dcb, std::uint32_t flags) {
  dcb.fBinary = Field(flags, 0, 1);
  dcb.fParity = Field(flags, 1, 1);
  dcb.fOutxCtsFlow = Field(flags, 2, 1);
  dcb.fOutxDsrFlow = Field(flags, 3, 1);
  dcb.fDtrControl = Field(flags, 4, 2);
  dcb.fDsrSensitivity = Field(flags, 6, 1);
  dcb.fTXContinueOnXoff = Field(flags, 7, 1);
  dcb.fOutX = Field(flags, 8, 1);
  dcb.fInX = Field(flags, 9, 1);
  dcb.fErrorChar = Field(flags, 10, 1);
  dcb.fNull = Field(flags, 11, 1);
  dcb.fRtsControl = Field(flags, 12, 2);
  dcb.fAbortOnError = Field(flags, 14, 1);
}

DCB ToDcb(const TLineSettings& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = line.BaudRate;
  SetFlagWord(dcb, line.Flags);
  dcb.XonLim = line.XonLim;
  dcb.XoffLim = line.XoffLim;
  dcb.ByteSize = line.ByteSize;
  dcb.Parity = line.Parity;
  dcb.StopBits = line.StopBits;
  dcb.XonChar = line.XonChar;
  dcb.XoffChar = line.XoffChar;
  dcb.ErrorChar = line.ErrorChar;
  dcb.EofChar = line.EofChar;
  dcb.EvtChar = line.EvtChar;
  return dcb;
}

TLineSettings FromDcb(const DCB& dcb) {
  TLineSettings line;
  line.BaudRate = dcb.BaudRate;
  line.Flags = FlagWordOf(dcb);
  line.XonLim = dcb.XonLim;
  line.XoffLim = dcb.XoffLim;
  line.ByteSize = dcb.ByteSize;
  line.Parity = dcb.Parity;
  line.StopBits = dcb.StopBits;
  line.XonChar = dcb.XonChar;
  line.XoffChar = dcb.XoffChar;
  line.ErrorChar = dcb.ErrorChar;
  line.EofChar = dcb.EofChar;
  line.EvtChar = dcb.EvtChar;
  return line;
}

}  // namespace serial
