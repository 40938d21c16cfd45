// The flag word against the DCB's bitfields, one field at a time, without a device: Wine keeps only
// three of the flags on its lines, so this is where every other bit is checked.
#include "dcbflags.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

DCB Blank() {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  return dcb;
}

struct TFlagCase {
  const char* field;
  void (*set)(DCB&);
  std::uint32_t word;
};

const TFlagCase kCases[] = {
    {"fBinary", [](DCB& d) { d.fBinary = 1; }, 0x0001},
    {"fParity", [](DCB& d) { d.fParity = 1; }, 0x0002},
    {"fOutxCtsFlow", [](DCB& d) { d.fOutxCtsFlow = 1; }, 0x0004},
    {"fOutxDsrFlow", [](DCB& d) { d.fOutxDsrFlow = 1; }, 0x0008},
    {"fDtrControl enable", [](DCB& d) { d.fDtrControl = DTR_CONTROL_ENABLE; }, 0x0010},
    {"fDtrControl handshake", [](DCB& d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }, 0x0020},
    {"fDsrSensitivity", [](DCB& d) { d.fDsrSensitivity = 1; }, 0x0040},
    {"fTXContinueOnXoff", [](DCB& d) { d.fTXContinueOnXoff = 1; }, 0x0080},
    {"fOutX", [](DCB& d) { d.fOutX = 1; }, 0x0100},
    {"fInX", [](DCB& d) { d.fInX = 1; }, 0x0200},
    {"fErrorChar", [](DCB& d) { d.fErrorChar = 1; }, 0x0400},
    {"fNull", [](DCB& d) { d.fNull = 1; }, 0x0800},
    {"fRtsControl enable", [](DCB& d) { d.fRtsControl = RTS_CONTROL_ENABLE; }, 0x1000},
    {"fRtsControl handshake", [](DCB& d) { d.fRtsControl = RTS_CONTROL_HANDSHAKE; }, 0x2000},
    {"fRtsControl toggle", [](DCB& d) { d.fRtsControl = RTS_CONTROL_TOGGLE; }, 0x3000},
    {"fAbortOnError", [](DCB& d) { d.fAbortOnError = 1; }, 0x4000},
};

TEST(DcbFlags, EachBitfieldHasItsOwnBitsInBothDirections) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.field);
    DCB expected = Blank();
    c.set(expected);
    EXPECT_EQ(serial::FlagWordOf(expected), c.word);

    DCB written = Blank();
    serial::SetFlagWord(written, c.word);
    EXPECT_EQ(std::memcmp(&written, &expected, sizeof(DCB)), 0);
  }
}

TEST(DcbFlags, BitsAboveTheFlagsAreIgnoredAndTheRestOfTheRecordKept) {
  DCB dcb = Blank();
  dcb.BaudRate = 9600;
  dcb.XonLim = 1024;
  dcb.XonChar = 17;
  serial::SetFlagWord(dcb, 0xFFFF8000u);
  EXPECT_EQ(serial::FlagWordOf(dcb), 0u);
  EXPECT_EQ(dcb.fDummy2, 0u);

  serial::SetFlagWord(dcb, 0x7FFFu);
  EXPECT_EQ(serial::FlagWordOf(dcb), 0x7FFFu);
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XonChar, 17);
}

}  // namespace
