// Each setting of the port component, made through its setter, as it reaches a Linux line: the record
// the component writes through the comm seam, put on termios by the POSIX layer's own mapping.
#include <gtest/gtest.h>

#include "fakecomm.h"
#include "termios_line.h"

namespace serialtest {
namespace {

// Each setting against all the line bits the settings govern, from a fresh 9600 8N1 line.
TEST(SerialPortOnTermios, EachSettingReachesItsTermiosBits) {
  const unsigned cmask = CBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  const unsigned imask = IXON | IXOFF | INPCK;
  const unsigned line = B9600 | CS8;
  const struct {
    const char* name;
    std::function<void(P)> change;
    unsigned cflag;
    unsigned iflag;
  } cases[] = {
      {"br1200", [](P p) { p.SetBaudRate(TBaudRate::br1200); }, B1200 | CS8, 0},
      {"br14400, no constant", [](P p) { p.SetBaudRate(TBaudRate::br14400); }, BOTHER | CS8, 0},
      {"db5", [](P p) { p.SetDataBits(TDataBits::db5); }, B9600 | CS5, 0},
      {"db7", [](P p) { p.SetDataBits(TDataBits::db7); }, B9600 | CS7, 0},
      {"pcEven", [](P p) { p.SetParityType(TParityType::pcEven); }, line | PARENB, 0},
      {"pcOdd", [](P p) { p.SetParityType(TParityType::pcOdd); }, line | PARENB | PARODD, 0},
      {"pcMark", [](P p) { p.SetParityType(TParityType::pcMark); }, line | PARENB | PARODD | CMSPAR, 0},
      {"pcSpace", [](P p) { p.SetParityType(TParityType::pcSpace); }, line | PARENB | CMSPAR, 0},
      {"sbOnePtFive with db5", [](P p) { p.SetDataBits(TDataBits::db5), p.SetStopBits(TStopBits::sbOnePtFive); },
       B9600 | CS5 | CSTOPB, 0},
      {"sbTwo", [](P p) { p.SetStopBits(TStopBits::sbTwo); }, line | CSTOPB, 0},
      {"fcXON_XOFF", [](P p) { p.SetFlowControl(TFlowControl::fcXON_XOFF); }, line, IXON | IXOFF},
      {"fcRTS_CTS", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, line | CRTSCTS, 0},
      // Linux has no DTR/DSR flow control: the line runs without any.
      {"fsDSR_DTR", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, line, 0},
      {"fcNone after fcRTS_CTS",
       [](P p) {
         p.SetFlowControl(TFlowControl::fcRTS_CTS);
         p.SetFlowControl(TFlowControl::fcNone);
       },
       line, 0},
      {"ParityErrorChecking", [](P p) { p.SetParityErrorChecking(true); }, line, INPCK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    termios2 t{};
    serial::MakeRaw(t);
    ASSERT_TRUE(serial::ToTermios(RecordAfter(c.change), t));
    EXPECT_EQ(t.c_cflag & cmask, c.cflag);
    EXPECT_EQ(t.c_iflag & imask, c.iflag);
  }
}

// 4 data bits are refused as a whole record (the line keeps all it had); DTR/DSR, the replacement
// character and stripping have no termios bits and stay in the record, where GetState finds them.
TEST(SerialPortOnTermios, WhatTermiosCannotCarryIsRefusedOrKeptInTheRecord) {
  termios2 t{};
  serial::MakeRaw(t);
  EXPECT_FALSE(serial::ToTermios(RecordAfter([](P p) { p.SetDataBits(TDataBits::db4); }), t));

  const serial::TLineSettings kept = RecordAfter([](P p) {
    p.SetFlowControl(TFlowControl::fsDSR_DTR);
    p.SetParityErrorReplacement(true);
    p.SetStripNullChars(true);
  });
  ASSERT_TRUE(serial::ToTermios(kept, t));
  EXPECT_EQ(serial::FromTermios(t, kept), kept);
  EXPECT_EQ(kept.Flags & (cf::OutxDsrFlow | cf::DtrControlMask | cf::ErrorChar | cf::Null),
            cf::OutxDsrFlow | cf::DtrControlHandshake | cf::ErrorChar | cf::Null);
}

}  // namespace
}  // namespace serialtest
