// Each setting of the port component, made through its setter, as it reaches a Linux line: the record
// the component writes through the comm seam, put on termios by the POSIX layer's own mapping.
#include <gtest/gtest.h>

#include <functional>

#include "fakecomm.h"
#include "termios_line.h"

namespace serialtest {
namespace {

struct TTermiosCase {
  const char* name;
  std::function<void(P)> change;
  unsigned termios2::*field;
  unsigned mask;
  unsigned bits;
};

TEST(SerialPortOnTermios, EachSettingReachesItsTermiosBits) {
  const unsigned parity = PARENB | PARODD | CMSPAR;
  const unsigned flow = IXON | IXOFF;
  const TTermiosCase cases[] = {
      {"br1200", [](P p) { p.SetBaudRate(TBaudRate::br1200); }, &termios2::c_cflag, CBAUD, B1200},
      {"br14400, no constant", [](P p) { p.SetBaudRate(TBaudRate::br14400); }, &termios2::c_cflag, CBAUD, BOTHER},
      {"db5", [](P p) { p.SetDataBits(TDataBits::db5); }, &termios2::c_cflag, CSIZE, CS5},
      {"db7", [](P p) { p.SetDataBits(TDataBits::db7); }, &termios2::c_cflag, CSIZE, CS7},
      {"db8", [](P p) { p.SetDataBits(TDataBits::db8); }, &termios2::c_cflag, CSIZE, CS8},
      {"pcNone", [](P p) { p.SetParityType(TParityType::pcNone); }, &termios2::c_cflag, parity, 0},
      {"pcEven", [](P p) { p.SetParityType(TParityType::pcEven); }, &termios2::c_cflag, parity, PARENB},
      {"pcOdd", [](P p) { p.SetParityType(TParityType::pcOdd); }, &termios2::c_cflag, parity, PARENB | PARODD},
      {"pcMark", [](P p) { p.SetParityType(TParityType::pcMark); }, &termios2::c_cflag, parity,
       PARENB | PARODD | CMSPAR},
      {"pcSpace", [](P p) { p.SetParityType(TParityType::pcSpace); }, &termios2::c_cflag, parity, PARENB | CMSPAR},
      {"sbOne", [](P p) { p.SetStopBits(TStopBits::sbOne); }, &termios2::c_cflag, CSTOPB, 0},
      {"sbOnePtFive", [](P p) { p.SetStopBits(TStopBits::sbOnePtFive); }, &termios2::c_cflag, CSTOPB, CSTOPB},
      {"sbTwo", [](P p) { p.SetStopBits(TStopBits::sbTwo); }, &termios2::c_cflag, CSTOPB, CSTOPB},
      {"fcXON_XOFF", [](P p) { p.SetFlowControl(TFlowControl::fcXON_XOFF); }, &termios2::c_iflag, flow, flow},
      {"fcXON_XOFF, no CRTSCTS", [](P p) { p.SetFlowControl(TFlowControl::fcXON_XOFF); }, &termios2::c_cflag,
       CRTSCTS, 0},
      {"fcRTS_CTS", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, &termios2::c_cflag, CRTSCTS, CRTSCTS},
      {"fcRTS_CTS, no XON/XOFF", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, &termios2::c_iflag, flow,
       0},
      // Linux has no DTR/DSR flow control: the line runs without any.
      {"fsDSR_DTR", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, &termios2::c_cflag, CRTSCTS, 0},
      {"fsDSR_DTR, no XON/XOFF", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, &termios2::c_iflag, flow,
       0},
      {"fcNone after XON/XOFF",
       [](P p) {
         p.SetFlowControl(TFlowControl::fcXON_XOFF);
         p.SetFlowControl(TFlowControl::fcNone);
       },
       &termios2::c_iflag, flow, 0},
      {"ParityErrorChecking", [](P p) { p.SetParityErrorChecking(true); }, &termios2::c_iflag, INPCK, INPCK},
      {"ParityErrorChecking off again",
       [](P p) {
         p.SetParityErrorChecking(true);
         p.SetParityErrorChecking(false);
       },
       &termios2::c_iflag, INPCK, 0},
  };
  for (const TTermiosCase& c : cases) {
    SCOPED_TRACE(c.name);
    termios2 t{};
    serial::MakeRaw(t);
    ASSERT_TRUE(serial::ToTermios(RecordAfter(c.change), t));
    EXPECT_EQ(t.*c.field & c.mask, c.bits);
  }
}

TEST(SerialPortOnTermios, WhatTermiosCannotCarryIsRefusedOrKeptInTheRecord) {
  TPortOnFakeLine fake;
  fake.line->state = kFreshLine;
  fake.OpenQuietly();
  termios2 t{};
  serial::MakeRaw(t);

  // The rate termios has no constant for goes through BOTHER as the number.
  fake.port.SetBaudRate(TBaudRate::br14400);
  ASSERT_TRUE(serial::ToTermios(fake.line->written.back(), t));
  EXPECT_EQ(t.c_ospeed, 14400u);

  // 4 data bits: the record is refused as a whole, so the line keeps every setting it had.
  fake.port.SetDataBits(TDataBits::db4);
  termios2 refused = t;
  EXPECT_FALSE(serial::ToTermios(fake.line->written.back(), refused));

  // DTR/DSR, replacement and stripping have no termios bits; the record carries them for GetState.
  fake.port.SetDataBits(TDataBits::db8);
  fake.port.SetFlowControl(TFlowControl::fsDSR_DTR);
  fake.port.SetParityErrorReplacement(true);
  fake.port.SetStripNullChars(true);
  const serial::TLineSettings written = fake.line->written.back();
  ASSERT_TRUE(serial::ToTermios(written, t));
  EXPECT_EQ(serial::FromTermios(t, written), written);
  EXPECT_EQ(written.Flags & (cf::OutxDsrFlow | cf::DtrControlMask | cf::ErrorChar | cf::Null),
            cf::OutxDsrFlow | cf::DtrControlHandshake | cf::ErrorChar | cf::Null);
}

}  // namespace
}  // namespace serialtest
