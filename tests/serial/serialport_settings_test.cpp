// TSerialPort settings over the fake line: the store-and-apply rule, the record ApplySettings writes,
// and the flag-word options.
#include <gtest/gtest.h>

#include <functional>

#include "fakecomm.h"

namespace serialtest {
namespace {

using serial::TCommPort;
using serial::TLineSettings;
using L = TLineSettings&;

TEST(SerialPortSettings, EachCommPortOpensItsOwnDevice) {
  for (const auto& [commPort, device] : {std::pair{TCommPort::cpCOM1, "COM1"}, {TCommPort::cpCOM8, "COM8"}}) {
    TPortOnFakeLine fake;
    fake.port.SetCommPort(commPort);
    EXPECT_EQ(fake.port.DeviceName(), device);
    EXPECT_TRUE(fake.port.OpenPort());
    EXPECT_EQ(fake.line->calls.front(), std::string("Open ") + device);
  }
}

TEST(SerialPortSettings, OpenWritesTheSettingsOverTheDriversRecordAndKeepsTheRest) {
  // Rate, flags, XON and XOFF limits, data bits, parity, stop bits; XON, XOFF, error, EOF and event
  // characters. The driver's record has every field away from what the component writes.
  TPortOnFakeLine fake;
  fake.line->state = TLineSettings{1200, 0x5A5A, 1, 2, 7, 1, 2, 'a', 'b', 'c', 0x1A, 0x7E};
  EXPECT_TRUE(fake.port.OpenPort());
  EXPECT_EQ(fake.line->calls, (Calls{"Open COM2", "GetState", "SetState"}));
  // The flags are written back as read (this program never sets the flag options); EOFChar 0 leaves
  // the line's own.
  const TLineSettings expected{9600, 0x5A5A, 1024, 2048, 8, 0, 0, 17, 19, 0, 0x1A, 0x7E};
  EXPECT_EQ(fake.line->written, std::vector<TLineSettings>{expected});
}

// Each setter changes its own field of the open line's record at once and nothing else; values
// without a field still apply the record unchanged. (Rates and XON/XOFF characters: on the real line.)
TEST(SerialPortSettings, ChangedValueIsAppliedToTheOpenLineAtOnce) {
  const struct {
    const char* name;
    std::function<void(P)> change;
    std::function<void(L)> field;
  } cases[] = {
      {"pcEven", [](P p) { p.SetParityType(TParityType::pcEven); }, [](L l) { l.Parity = 2; }},
      {"pcOdd", [](P p) { p.SetParityType(TParityType::pcOdd); }, [](L l) { l.Parity = 1; }},
      {"pcSpace", [](P p) { p.SetParityType(TParityType::pcSpace); }, [](L l) { l.Parity = 4; }},
      {"sbOnePtFive", [](P p) { p.SetStopBits(TStopBits::sbOnePtFive); }, [](L l) { l.StopBits = 1; }},
      {"db4", [](P p) { p.SetDataBits(TDataBits::db4); }, [](L l) { l.ByteSize = 4; }},
      {"XONLim", [](P p) { p.SetXONLim(100); }, [](L l) { l.XonLim = 100; }},
      {"XOFFLim", [](P p) { p.SetXOFFLim(65535); }, [](L l) { l.XoffLim = 65535; }},
      {"ErrorChar", [](P p) { p.SetErrorChar('?'); }, [](L l) { l.ErrorChar = '?'; }},
      {"EOFChar", [](P p) { p.SetEOFChar(0x04); }, [](L l) { l.EofChar = 4; }},
      {"ParityErrorChar", [](P p) { p.SetParityErrorChar(0x05); }, [](L) {}},
      {"CommPort", [](P p) { p.SetCommPort(TCommPort::cpCOM5); }, [](L) {}},  // no reopen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPortOnFakeLine fake;
    fake.OpenQuietly();
    TLineSettings expected = fake.line->state;
    c.field(expected);
    c.change(fake.port);
    EXPECT_EQ(fake.line->calls, (Calls{"GetState", "SetState"}));
    ASSERT_EQ(fake.line->written.size(), 1u);
    EXPECT_EQ(fake.line->written[0], expected);
  }
}

TEST(SerialPortSettings, SettingTheCurrentValueTouchesNothing) {
  TPortOnFakeLine fake;
  fake.OpenQuietly();
  TSerialPort& p = fake.port;
  p.SetCommPort(TCommPort::cpCOM2);
  p.SetBaudRate(TBaudRate::br9600);
  p.SetParityType(TParityType::pcNone);
  p.SetStopBits(TStopBits::sbOne);
  p.SetDataBits(TDataBits::db8);
  p.SetXONChar(17);
  p.SetXOFFChar(19);
  p.SetXONLim(1024);
  p.SetXOFFLim(2048);
  p.SetErrorChar(0);
  p.SetEOFChar(0);
  p.SetParityErrorChar(0);
  p.SetParityErrorChecking(false);
  p.SetParityErrorReplacement(false);
  p.SetFlowControl(TFlowControl::fcNone);
  p.SetStripNullChars(false);
  EXPECT_TRUE(fake.line->calls.empty());
}

TEST(SerialPortSettings, SettingsOfAClosedPortWaitForTheNextOpen) {
  TPortOnFakeLine fake;
  fake.port.SetBaudRate(TBaudRate::br19200);
  fake.port.SetDataBits(TDataBits::db7);
  fake.port.ApplySettings();
  EXPECT_TRUE(fake.line->calls.empty());
  EXPECT_EQ(fake.port.BaudRate(), TBaudRate::br19200);

  EXPECT_TRUE(fake.port.OpenPort());
  ASSERT_EQ(fake.line->written.size(), 1u);
  EXPECT_EQ(fake.line->written[0].BaudRate, 19200u);
  EXPECT_EQ(fake.line->written[0].ByteSize, 7);
}

TEST(SerialPortSettings, EOFCharZeroLeavesWhatTheLineHas) {
  TPortOnFakeLine fake;
  fake.OpenQuietly();
  fake.port.SetEOFChar(0x04);
  fake.port.SetEOFChar(0);
  ASSERT_EQ(fake.line->written.size(), 2u);
  EXPECT_EQ(fake.line->written[1].EofChar, 0x04);
}

// A record the line refuses leaves the port open; one it will not give is not written back.
TEST(SerialPortSettings, ARefusedOrUnreadableRecordLeavesThePortOpen) {
  for (const bool readable : {true, false}) {
    TPortOnFakeLine fake;
    (readable ? fake.line->setStateWorks : fake.line->getStateWorks) = false;
    EXPECT_TRUE(fake.port.OpenPort());
    fake.port.SetBaudRate(TBaudRate::br110);
    EXPECT_TRUE(fake.port.IsOpen());
    EXPECT_EQ(fake.port.BaudRate(), TBaudRate::br110);
    EXPECT_EQ(fake.line->written.size(), readable ? 2u : 0u);
  }
}

std::function<void(P)> Flow(TFlowControl value) {
  return [value](P p) { p.SetFlowControl(value); };
}
std::function<void(P)> Strip(bool value) {
  return [value](P p) { p.SetStripNullChars(value); };
}

TEST(SerialPortSettings, FlagOptionsSetTheirBitsAndClearThemWhenSwitchedBack) {
  // Binary 0x1, DTR enabled 0x10, TXContinueOnXoff 0x80, RTS enabled 0x1000.
  constexpr std::uint32_t kDriver = 0x1091;
  const struct {
    const char* name;
    std::vector<std::function<void(P)>> changes;
    std::uint32_t driverFlags;
    std::uint32_t expected;
  } cases[] = {
      {"fcXON_XOFF", {Flow(TFlowControl::fcXON_XOFF)}, kDriver, 0x1391},
      {"fcRTS_CTS", {Flow(TFlowControl::fcRTS_CTS)}, kDriver, 0x2095},
      {"fsDSR_DTR", {Flow(TFlowControl::fsDSR_DTR)}, kDriver, 0x10A9},
      {"ParityErrorChecking", {[](P p) { p.SetParityErrorChecking(true); }}, kDriver, 0x1093},
      {"ParityErrorReplacement", {[](P p) { p.SetParityErrorReplacement(true); }}, kDriver, 0x1491},
      {"StripNullChars", {Strip(true)}, kDriver, 0x1891},
      {"RTS/CTS then none", {Flow(TFlowControl::fcRTS_CTS), Flow(TFlowControl::fcNone)}, kDriver, 0x1091},
      {"DSR/DTR then XON/XOFF",
       {Flow(TFlowControl::fsDSR_DTR), Flow(TFlowControl::fcXON_XOFF)},
       kDriver,
       0x1391},
      // Once an option was set, the driver's own XON/XOFF no longer survives fcNone.
      {"strip then not, driver XON/XOFF", {Strip(true), Strip(false)}, 0x1391, 0x1091},
      // RTS becomes the handshake; a DTR line the driver holds disabled stays so.
      {"fcRTS_CTS, DTR and RTS disabled", {Flow(TFlowControl::fcRTS_CTS)}, 0x0081, 0x2085},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPortOnFakeLine fake;
    fake.line->state.Flags = c.driverFlags;
    fake.OpenQuietly();
    for (const auto& change : c.changes) change(fake.port);
    ASSERT_EQ(fake.line->written.size(), c.changes.size());
    EXPECT_EQ(fake.line->written.back().Flags, c.expected);
  }
}

}  // namespace
}  // namespace serialtest
