// The line settings record onto termios2 and back, where a pseudo-terminal cannot show the result
// (parity and data bits; rates are read back from the line itself) and for what termios must refuse.
#include <gtest/gtest.h>

#include "termios_line.h"

namespace {

using serial::TLineSettings;

TLineSettings Line9600() {
  TLineSettings line;
  line.BaudRate = 9600;
  line.ByteSize = 8;
  line.XonChar = 17;
  line.XoffChar = 19;
  return line;
}

termios2 RawTermios() {
  termios2 t{};
  serial::MakeRaw(t);
  return t;
}

// Each value against the control bits it becomes, and read back from them as it was.
TEST(TermiosLine, ValuesBecomeTheirControlBitsAndComeBack) {
  using L = TLineSettings&;
  const tcflag_t parity = PARENB | PARODD | CMSPAR;
  const struct {
    const char* name;
    void (*set)(L);
    tcflag_t mask;
    tcflag_t bits;
  } cases[] = {
      {"no parity", [](L l) { l.Parity = 0; }, parity, 0},
      {"odd", [](L l) { l.Parity = 1; }, parity, PARENB | PARODD},
      {"even", [](L l) { l.Parity = 2; }, parity, PARENB},
      {"mark", [](L l) { l.Parity = 3; }, parity, PARENB | CMSPAR | PARODD},
      {"space", [](L l) { l.Parity = 4; }, parity, PARENB | CMSPAR},
      {"5 data bits", [](L l) { l.ByteSize = 5; }, CSIZE, CS5},
      {"7 data bits", [](L l) { l.ByteSize = 7; }, CSIZE, CS7},
      {"one stop bit", [](L l) { l.StopBits = 0; }, CSTOPB, 0},
      {"one and a half, with 5 data bits", [](L l) { l.StopBits = 1, l.ByteSize = 5; }, CSTOPB | CSIZE, CSTOPB | CS5},
      {"two stop bits", [](L l) { l.StopBits = 2; }, CSTOPB, CSTOPB},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLineSettings line = Line9600();
    c.set(line);
    termios2 t = RawTermios();
    ASSERT_TRUE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag & c.mask, c.bits);
    EXPECT_EQ(serial::FromTermios(t, line), line);
  }
}

TEST(TermiosLine, WhatTermiosCannotExpressIsRefusedAndLeavesTheLineAlone) {
  auto with = [](auto change) {
    TLineSettings line = Line9600();
    change(line);
    return line;
  };
  const std::vector<std::pair<const char*, TLineSettings>> cases = {
      {"4 data bits", with([](TLineSettings& l) { l.ByteSize = 4; })},
      {"9 data bits", with([](TLineSettings& l) { l.ByteSize = 9; })},
      {"parity 5", with([](TLineSettings& l) { l.Parity = 5; })},
      {"stop bits 3", with([](TLineSettings& l) { l.StopBits = 3; })},
      // A UART would make two of the half, and one and a half of the two.
      {"1.5 stop bits, 8 data bits", with([](TLineSettings& l) { l.StopBits = 1; })},
      {"2 stop bits, 5 data bits", with([](TLineSettings& l) { l.StopBits = 2, l.ByteSize = 5; })},
      {"rate 0", with([](TLineSettings& l) { l.BaudRate = 0; })},
      {"XON equals XOFF", with([](TLineSettings& l) { l.XoffChar = 17; })},
  };
  for (const auto& [name, line] : cases) {
    SCOPED_TRACE(name);
    termios2 t = RawTermios();
    const termios2 before = t;
    EXPECT_FALSE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag, before.c_cflag);
    EXPECT_EQ(t.c_cc[VSTART], before.c_cc[VSTART]);
  }
}

TEST(TermiosLine, FlagBitsTermiosHonoursAreCarriedTheRestKeptInTheRecord) {
  namespace cf = serial::commflag;
  TLineSettings line = Line9600();
  line.Flags =
      cf::Binary | cf::OutX | cf::InX | cf::OutxCtsFlow | cf::Parity | cf::Null | cf::DtrControlHandshake;
  termios2 t = RawTermios();
  ASSERT_TRUE(serial::ToTermios(line, t));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), unsigned{IXON | IXOFF | INPCK});
  EXPECT_EQ(t.c_cflag & CRTSCTS, unsigned{CRTSCTS});

  line.Flags = cf::Binary;
  ASSERT_TRUE(serial::ToTermios(line, t));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

  // Reading back: the honoured bits from termios, the others from what was kept.
  TLineSettings kept = Line9600();
  kept.Flags = cf::Binary | cf::Null | cf::OutX;
  EXPECT_EQ(serial::FromTermios(t, kept).Flags, cf::Binary | cf::Null);
}

}  // namespace
