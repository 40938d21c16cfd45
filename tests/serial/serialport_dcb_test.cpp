// Each setting of the port component, made through its setter, as it reaches a Windows line: the record
// the component writes through the comm seam, put into the DCB by the Win32 layer's own mapping.
#include <gtest/gtest.h>

#include <functional>

#include "dcbflags.h"
#include "fakecomm.h"

namespace serialtest {
namespace {

struct TDcbCase {
  const char* name;
  std::function<void(P)> change;
  std::function<unsigned(const DCB&)> field;
  unsigned expected;
};

unsigned Rate(const DCB& d) {
  return d.BaudRate;
}
unsigned Size(const DCB& d) {
  return d.ByteSize;
}
unsigned Parity(const DCB& d) {
  return d.Parity;
}
unsigned Stop(const DCB& d) {
  return d.StopBits;
}
// fOutX, fInX, fOutxCtsFlow, fOutxDsrFlow as 1, 2, 4, 8.
unsigned Flow(const DCB& d) {
  return d.fOutX | d.fInX << 1 | d.fOutxCtsFlow << 2 | d.fOutxDsrFlow << 3;
}
unsigned Rts(const DCB& d) {
  return d.fRtsControl;
}
unsigned Dtr(const DCB& d) {
  return d.fDtrControl;
}

TEST(SerialPortOnDcb, EachSettingReachesItsDcbField) {
  const TDcbCase cases[] = {
      {"br1200", [](P p) { p.SetBaudRate(TBaudRate::br1200); }, Rate, 1200},
      {"br256000", [](P p) { p.SetBaudRate(TBaudRate::br256000); }, Rate, 256000},
      {"db4", [](P p) { p.SetDataBits(TDataBits::db4); }, Size, 4},
      {"db7", [](P p) { p.SetDataBits(TDataBits::db7); }, Size, 7},
      {"pcNone", [](P p) { p.SetParityType(TParityType::pcNone); }, Parity, NOPARITY},
      {"pcEven", [](P p) { p.SetParityType(TParityType::pcEven); }, Parity, EVENPARITY},
      {"pcOdd", [](P p) { p.SetParityType(TParityType::pcOdd); }, Parity, ODDPARITY},
      {"pcMark", [](P p) { p.SetParityType(TParityType::pcMark); }, Parity, MARKPARITY},
      {"pcSpace", [](P p) { p.SetParityType(TParityType::pcSpace); }, Parity, SPACEPARITY},
      {"sbOne", [](P p) { p.SetStopBits(TStopBits::sbOne); }, Stop, ONESTOPBIT},
      {"sbOnePtFive", [](P p) { p.SetStopBits(TStopBits::sbOnePtFive); }, Stop, ONE5STOPBITS},
      {"sbTwo", [](P p) { p.SetStopBits(TStopBits::sbTwo); }, Stop, TWOSTOPBITS},
      {"fcXON_XOFF", [](P p) { p.SetFlowControl(TFlowControl::fcXON_XOFF); }, Flow, 1 | 2},
      {"fcRTS_CTS", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, Flow, 4},
      {"fcRTS_CTS: RTS", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, Rts, RTS_CONTROL_HANDSHAKE},
      {"fsDSR_DTR", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, Flow, 8},
      {"fsDSR_DTR: DTR", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, Dtr, DTR_CONTROL_HANDSHAKE},
      {"fcNone after RTS/CTS",
       [](P p) {
         p.SetFlowControl(TFlowControl::fcRTS_CTS);
         p.SetFlowControl(TFlowControl::fcNone);
       },
       Flow, 0},
      {"fcNone after RTS/CTS: RTS back on",
       [](P p) {
         p.SetFlowControl(TFlowControl::fcRTS_CTS);
         p.SetFlowControl(TFlowControl::fcNone);
       },
       Rts, RTS_CONTROL_ENABLE},
      {"ParityErrorChecking", [](P p) { p.SetParityErrorChecking(true); }, [](const DCB& d) -> unsigned { return d.fParity; },
       1},
      {"ParityErrorReplacement", [](P p) { p.SetParityErrorReplacement(true); },
       [](const DCB& d) -> unsigned { return d.fErrorChar; }, 1},
      {"ErrorChar", [](P p) { p.SetErrorChar('?'); }, [](const DCB& d) -> unsigned { return d.ErrorChar; }, '?'},
      {"StripNullChars", [](P p) { p.SetStripNullChars(true); }, [](const DCB& d) -> unsigned { return d.fNull; }, 1},
      {"XONLim", [](P p) { p.SetXONLim(100); }, [](const DCB& d) -> unsigned { return d.XonLim; }, 100},
  };
  for (const TDcbCase& c : cases) {
    SCOPED_TRACE(c.name);
    const serial::TLineSettings record = RecordAfter(c.change);
    const DCB dcb = serial::ToDcb(record);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(c.field(dcb), c.expected);
    EXPECT_EQ(serial::FromDcb(dcb), record);
  }
}

}  // namespace
}  // namespace serialtest
