// The line settings record onto termios2 and back, where a pseudo-terminal cannot show the result
// (parity and data bits) and for what termios must refuse.
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

TEST(TermiosLine, ParityCodesBecomeTheirControlBits) {
  const std::vector<std::pair<std::uint8_t, unsigned>> cases = {
      {0, 0}, {1, PARENB | PARODD}, {2, PARENB}, {3, PARENB | CMSPAR | PARODD}, {4, PARENB | CMSPAR}};
  for (const auto& [parity, bits] : cases) {
    SCOPED_TRACE(parity);
    TLineSettings line = Line9600();
    line.Parity = parity;
    termios2 t = RawTermios();
    ASSERT_TRUE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), bits);
    EXPECT_EQ(serial::FromTermios(t, line).Parity, parity);
  }
}

TEST(TermiosLine, DataBitsAndStopBitsBecomeTheirControlBits) {
  const std::vector<std::pair<std::uint8_t, unsigned>> sizes = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
  for (const auto& [size, bits] : sizes) {
    TLineSettings line = Line9600();
    line.ByteSize = size;
    termios2 t = RawTermios();
    ASSERT_TRUE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag & CSIZE, bits);
  }
  const std::vector<std::pair<std::uint8_t, unsigned>> stops = {{0, 0}, {1, CSTOPB}, {2, CSTOPB}};
  for (const auto& [stop, bits] : stops) {
    TLineSettings line = Line9600();
    line.StopBits = stop;
    termios2 t = RawTermios();
    ASSERT_TRUE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag & CSTOPB, bits);
    EXPECT_EQ(serial::FromTermios(t, line).StopBits, stop);  // one and a half is remembered
  }
}

TEST(TermiosLine, RatesWithoutAConstantGoThroughBOTHERExactly) {
  const std::vector<std::pair<std::uint32_t, unsigned>> rates = {
      {110, B110},     {9600, B9600},    {38400, B38400},  {14400, BOTHER},
      {56000, BOTHER}, {128000, BOTHER}, {256000, BOTHER}, {115200, B115200}};
  for (const auto& [rate, code] : rates) {
    SCOPED_TRACE(rate);
    TLineSettings line = Line9600();
    line.BaudRate = rate;
    termios2 t = RawTermios();
    ASSERT_TRUE(serial::ToTermios(line, t));
    EXPECT_EQ(t.c_cflag & (CBAUD | (CBAUD << IBSHIFT)), code);
    EXPECT_EQ(serial::FromTermios(t, line).BaudRate, rate);
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
