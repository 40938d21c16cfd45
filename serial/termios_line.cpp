// How each TSerialPort setting reaches a Linux line: the component writes the record (serialport.cpp,
// the flag word in TSerialPort::LineFlags) and ToTermios puts it on termios2.
//   BaudRate     Bnnn where the rate has a constant, else BOTHER with the number itself
//   DataBits     CS5..CS8; 4 data bits are refused (SetState fails, the line keeps its own settings)
//   ParityType   PARENB, with PARODD for odd; mark and space add CMSPAR (stick parity)
//   StopBits     CSTOPB for two, and for one and a half, which is what a UART makes of CSTOPB with 5 data
//                bits: one and a half with more data bits, or two with 5, are refused (the line would
//                run at stop bits nobody chose)
//   fcXON_XOFF   IXON and IXOFF with VSTART/VSTOP; the kernel keeps its own thresholds, so XonLim and
//                XoffLim live only in the record
//   fcRTS_CTS    CRTSCTS, which is both halves: RTS handshake on input, CTS gating output
//   fsDSR_DTR    nothing: Linux has no DTR/DSR flow control. The line runs without flow control, DTR
//                raised as the open left it; the bits stay in the record, so GetState still shows them
//   fcNone       none of IXON, IXOFF, CRTSCTS
//   ParityErrorChecking     INPCK: a byte with a parity error never reaches the reader as received (it
//                           is read as a zero byte, which the component drops, or skipped under IGNPAR)
//   ParityErrorReplacement  nothing more: termios has no replacement character
//   StripNullChars          nothing: the component drops zero bytes itself in any case
#include "termios_line.h"

#include <array>
#include <utility>

namespace serial {

namespace {

// Rates with a constant of their own. Any other rate (14400, 56000, 128000, 256000 among the
// component's) goes through BOTHER as the exact number; a UART then takes its nearest divisor.
constexpr std::array<std::pair<unsigned, std::uint32_t>, 20> kSpeeds = {
    {{B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
     {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
     {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
     {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}}};

constexpr std::array<unsigned, 4> kSizes = {CS5, CS6, CS7, CS8};

// The input speed bits at zero mean "same as output".
constexpr unsigned kSpeedBits = CBAUD | (CBAUD << IBSHIFT);

struct TFlagMap {
  std::uint32_t recordBit;
  unsigned termiosBit;
  unsigned termios2::*field;
};
// The flag-word bits termios can honour; the rest live only in the record.
constexpr std::array<TFlagMap, 4> kFlagMap = {{{commflag::Parity, INPCK, &termios2::c_iflag},
                                               {commflag::OutX, IXON, &termios2::c_iflag},
                                               {commflag::InX, IXOFF, &termios2::c_iflag},
                                               {commflag::OutxCtsFlow, CRTSCTS, &termios2::c_cflag}}};

bool ParityBits(std::uint8_t parity, unsigned& bits) {
  switch (parity) {
    case 0:
      bits = 0;
      return true;
    case 1:
      bits = PARENB | PARODD;
      return true;
    case 2:
      bits = PARENB;
      return true;
    case 3:
      bits = PARENB | CMSPAR | PARODD;
      return true;
    case 4:
      bits = PARENB | CMSPAR;
      return true;
    default:
      return false;
  }
}

std::uint8_t ParityCode(unsigned cflag) {
  if ((cflag & PARENB) == 0) return 0;
  if ((cflag & CMSPAR) != 0) return (cflag & PARODD) != 0 ? 3 : 4;
  return (cflag & PARODD) != 0 ? 1 : 2;
}

// CSTOPB is one and a half stop bits with 5 data bits, two with more.
bool StopBitsFit(const TLineSettings& line) {
  return line.StopBits == 0 || (line.StopBits == 1) == (line.ByteSize == 5);
}

}  // namespace

bool ToTermios(const TLineSettings& line, termios2& t) {
  unsigned parity = 0;
  if (line.BaudRate == 0 || !ParityBits(line.Parity, parity) || line.StopBits > 2 || line.ByteSize < 5 ||
      line.ByteSize > 8 || line.XonChar == line.XoffChar || !StopBitsFit(line)) {
    return false;
  }

  termios2 next = t;
  next.c_cflag &= ~(kSpeedBits | PARENB | PARODD | CMSPAR | CSTOPB | CSIZE);
  next.c_cflag |= BOTHER;
  next.c_ispeed = next.c_ospeed = line.BaudRate;
  for (const auto& [code, rate] : kSpeeds) {
    if (rate == line.BaudRate) next.c_cflag = (next.c_cflag & ~kSpeedBits) | code;
  }
  next.c_cflag |= parity | kSizes[line.ByteSize - 5];
  if (line.StopBits != 0) next.c_cflag |= CSTOPB;
  next.c_cc[VSTART] = static_cast<cc_t>(line.XonChar);
  next.c_cc[VSTOP] = static_cast<cc_t>(line.XoffChar);
  for (const TFlagMap& map : kFlagMap) {
    if ((line.Flags & map.recordBit) != 0) {
      next.*map.field |= map.termiosBit;
    } else {
      next.*map.field &= ~map.termiosBit;
    }
  }
  t = next;
  return true;
}

TLineSettings FromTermios(const termios2& t, const TLineSettings& kept) {
  TLineSettings line = kept;
  const unsigned speed = t.c_cflag & CBAUD;
  line.BaudRate = speed == BOTHER ? t.c_ospeed : 0;
  for (const auto& [code, rate] : kSpeeds) {
    if (code == speed) line.BaudRate = rate;
  }
  line.Parity = ParityCode(t.c_cflag);
  line.ByteSize = 8;
  for (std::size_t i = 0; i < kSizes.size(); ++i) {
    if ((t.c_cflag & CSIZE) == kSizes[i]) line.ByteSize = static_cast<std::uint8_t>(5 + i);
  }
  line.StopBits = (t.c_cflag & CSTOPB) == 0 ? 0 : (line.ByteSize == 5 ? 1 : 2);
  line.XonChar = static_cast<char>(t.c_cc[VSTART]);
  line.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  for (const TFlagMap& map : kFlagMap) {
    line.Flags &= ~map.recordBit;
    if ((t.*map.field & map.termiosBit) != 0) line.Flags |= map.recordBit;
  }
  return line;
}

void MakeRaw(termios2& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IUCLC |
                 IMAXBEL | INPCK);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace serial
