// Each setting of the port component, made through its setter, as it reaches a Windows line: the record
// the component writes through the comm seam, put into the DCB by the Win32 layer's own mapping.
#include <gtest/gtest.h>

#include <string>

#include "dcbflags.h"
#include "fakecomm.h"

namespace serialtest {
namespace {

// The DCB fields the settings govern, in a few words: "9600 8N1 rts=1 dtr=1", then the flags set.
std::string Summary(const DCB& d) {
  const char* const parity = "NOEMS";
  const char* const stop[] = {"1", "1.5", "2"};
  std::string text = std::to_string(d.BaudRate) + " " + std::to_string(d.ByteSize) + parity[d.Parity % 5] +
                     stop[d.StopBits % 3] + " rts=" + std::to_string(d.fRtsControl) +
                     " dtr=" + std::to_string(d.fDtrControl);
  for (const auto& [set, name] : {std::pair{d.fOutX, " outx"}, {d.fInX, " inx"}, {d.fOutxCtsFlow, " cts"},
                                  {d.fOutxDsrFlow, " dsr"}, {d.fParity, " parity"}, {d.fErrorChar, " errorchar"},
                                  {d.fNull, " null"}}) {
    if (set != 0) text += name;
  }
  return text;
}

TEST(SerialPortOnDcb, EachSettingReachesItsDcbField) {
  const struct {
    const char* name;
    std::function<void(P)> change;
    const char* dcb;
  } cases[] = {
      {"br1200", [](P p) { p.SetBaudRate(TBaudRate::br1200); }, "1200 8N1 rts=1 dtr=1"},
      {"br256000", [](P p) { p.SetBaudRate(TBaudRate::br256000); }, "256000 8N1 rts=1 dtr=1"},
      {"db4", [](P p) { p.SetDataBits(TDataBits::db4); }, "9600 4N1 rts=1 dtr=1"},
      {"db7", [](P p) { p.SetDataBits(TDataBits::db7); }, "9600 7N1 rts=1 dtr=1"},
      {"pcEven", [](P p) { p.SetParityType(TParityType::pcEven); }, "9600 8E1 rts=1 dtr=1"},
      {"pcOdd", [](P p) { p.SetParityType(TParityType::pcOdd); }, "9600 8O1 rts=1 dtr=1"},
      {"pcMark", [](P p) { p.SetParityType(TParityType::pcMark); }, "9600 8M1 rts=1 dtr=1"},
      {"pcSpace", [](P p) { p.SetParityType(TParityType::pcSpace); }, "9600 8S1 rts=1 dtr=1"},
      {"sbOnePtFive", [](P p) { p.SetStopBits(TStopBits::sbOnePtFive); }, "9600 8N1.5 rts=1 dtr=1"},
      {"sbTwo", [](P p) { p.SetStopBits(TStopBits::sbTwo); }, "9600 8N2 rts=1 dtr=1"},
      {"fcXON_XOFF", [](P p) { p.SetFlowControl(TFlowControl::fcXON_XOFF); }, "9600 8N1 rts=1 dtr=1 outx inx"},
      {"fcRTS_CTS", [](P p) { p.SetFlowControl(TFlowControl::fcRTS_CTS); }, "9600 8N1 rts=2 dtr=1 cts"},
      {"fsDSR_DTR", [](P p) { p.SetFlowControl(TFlowControl::fsDSR_DTR); }, "9600 8N1 rts=1 dtr=2 dsr"},
      {"fcNone after fcRTS_CTS",
       [](P p) {
         p.SetFlowControl(TFlowControl::fcRTS_CTS);
         p.SetFlowControl(TFlowControl::fcNone);
       },
       "9600 8N1 rts=1 dtr=1"},
      {"ParityErrorChecking", [](P p) { p.SetParityErrorChecking(true); }, "9600 8N1 rts=1 dtr=1 parity"},
      {"ParityErrorReplacement", [](P p) { p.SetParityErrorReplacement(true); }, "9600 8N1 rts=1 dtr=1 errorchar"},
      {"StripNullChars", [](P p) { p.SetStripNullChars(true); }, "9600 8N1 rts=1 dtr=1 null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const serial::TLineSettings record = RecordAfter(c.change);
    const DCB dcb = serial::ToDcb(record);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(Summary(dcb), c.dcb);
    EXPECT_EQ(serial::FromDcb(dcb), record);
  }
}

}  // namespace
}  // namespace serialtest
