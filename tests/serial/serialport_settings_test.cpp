// TSerialPort settings over the fake line: defaults, the store-and-apply rule, the record ApplySettings
// writes, and the flag-word options.
#include <gtest/gtest.h>

#include <functional>

#include "fakecomm.h"

namespace serialtest {
namespace {

using serial::TBaudRate;
using serial::TCommPort;
using serial::TDataBits;
using serial::TFlowControl;
using serial::TLineSettings;
using serial::TParityType;
using serial::TSerialPort;
using serial::TStopBits;
using Calls = std::vector<std::string>;

// A record as a driver might report it: every field away from what the component writes.
TLineSettings DriverRecord() {
  TLineSettings line;
  line.BaudRate = 1200;
  line.Flags = 0x5A5A;
  line.XonLim = 1;
  line.XoffLim = 2;
  line.ByteSize = 7;
  line.Parity = 1;
  line.StopBits = 2;
  line.XonChar = 'a';
  line.XoffChar = 'b';
  line.ErrorChar = 'c';
  line.EofChar = 0x1A;
  line.EvtChar = 0x7E;
  return line;
}

TEST(SerialPortSettings, NewComponentStartsAtItsDefaults) {
  TPortOnFakeLine fake;
  const TSerialPort& port = fake.port;
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.CommPort(), TCommPort::cpCOM2);
  EXPECT_EQ(port.DeviceName(), "COM2");
  EXPECT_EQ(port.BaudRate(), TBaudRate::br9600);
  EXPECT_EQ(port.ParityType(), TParityType::pcNone);
  EXPECT_EQ(port.StopBits(), TStopBits::sbOne);
  EXPECT_EQ(port.DataBits(), TDataBits::db8);
  EXPECT_EQ(port.XONChar(), 17);
  EXPECT_EQ(port.XOFFChar(), 19);
  EXPECT_EQ(port.XONLim(), 1024);
  EXPECT_EQ(port.XOFFLim(), 2048);
  EXPECT_EQ(port.ErrorChar(), 0);
  EXPECT_EQ(port.EOFChar(), 0);
  EXPECT_EQ(port.ParityErrorChar(), 0);
  EXPECT_FALSE(port.ParityErrorChecking());
  EXPECT_FALSE(port.ParityErrorReplacement());
  EXPECT_EQ(port.FlowControl(), TFlowControl::fcNone);
  EXPECT_FALSE(port.StripNullChars());
  EXPECT_TRUE(fake.line->calls.empty());
}

TEST(SerialPortSettings, EachCommPortOpensItsOwnDevice) {
  const std::vector<std::pair<TCommPort, std::string>> ports = {
      {TCommPort::cpCOM1, "COM1"}, {TCommPort::cpCOM2, "COM2"}, {TCommPort::cpCOM3, "COM3"},
      {TCommPort::cpCOM4, "COM4"}, {TCommPort::cpCOM5, "COM5"}, {TCommPort::cpCOM6, "COM6"},
      {TCommPort::cpCOM7, "COM7"}, {TCommPort::cpCOM8, "COM8"}};
  for (const auto& [commPort, device] : ports) {
    TPortOnFakeLine fake;
    fake.port.SetCommPort(commPort);
    EXPECT_EQ(fake.port.DeviceName(), device);
    EXPECT_TRUE(fake.port.OpenPort());
    ASSERT_FALSE(fake.line->calls.empty());
    EXPECT_EQ(fake.line->calls.front(), "Open " + device);
  }
}

TEST(SerialPortSettings, OpenWritesTheSettingsOverTheDriversRecordAndKeepsTheRest) {
  TPortOnFakeLine fake;
  fake.line->state = DriverRecord();
  EXPECT_TRUE(fake.port.OpenPort());

  EXPECT_EQ(fake.line->calls, (Calls{"Open COM2", "GetState", "SetState"}));
  TLineSettings expected;
  expected.BaudRate = 9600;
  expected.Flags = 0x5A5A;  // written back as read: this program never sets the flag options
  expected.XonLim = 1024;
  expected.XoffLim = 2048;
  expected.ByteSize = 8;
  expected.Parity = 0;
  expected.StopBits = 0;
  expected.XonChar = 17;
  expected.XoffChar = 19;
  expected.ErrorChar = 0;
  expected.EofChar = 0x1A;  // EOFChar 0 leaves the line's own
  expected.EvtChar = 0x7E;
  ASSERT_EQ(fake.line->written.size(), 1u);
  EXPECT_EQ(fake.line->written[0], expected);
}

struct TSettingCase {
  const char* name;
  std::function<void(TSerialPort&)> change;
  std::function<unsigned(const TLineSettings&)> field;
  unsigned expected;
};

TEST(SerialPortSettings, ChangedValueIsStoredAndAppliedToTheOpenLineAtOnce) {
  auto baud = [](const TLineSettings& l) -> unsigned { return l.BaudRate; };
  auto parity = [](const TLineSettings& l) -> unsigned { return l.Parity; };
  auto stop = [](const TLineSettings& l) -> unsigned { return l.StopBits; };
  auto size = [](const TLineSettings& l) -> unsigned { return l.ByteSize; };
  const std::vector<TSettingCase> cases = {
      {"br110", [](TSerialPort& p) { p.SetBaudRate(TBaudRate::br110); }, baud, 110},
      {"br14400", [](TSerialPort& p) { p.SetBaudRate(TBaudRate::br14400); }, baud, 14400},
      {"br38400", [](TSerialPort& p) { p.SetBaudRate(TBaudRate::br38400); }, baud, 38400},
      {"br56000", [](TSerialPort& p) { p.SetBaudRate(TBaudRate::br56000); }, baud, 56000},
      {"br256000", [](TSerialPort& p) { p.SetBaudRate(TBaudRate::br256000); }, baud, 256000},
      {"pcEven", [](TSerialPort& p) { p.SetParityType(TParityType::pcEven); }, parity, 2},
      {"pcOdd", [](TSerialPort& p) { p.SetParityType(TParityType::pcOdd); }, parity, 1},
      {"pcMark", [](TSerialPort& p) { p.SetParityType(TParityType::pcMark); }, parity, 3},
      {"pcSpace", [](TSerialPort& p) { p.SetParityType(TParityType::pcSpace); }, parity, 4},
      {"sbOnePtFive", [](TSerialPort& p) { p.SetStopBits(TStopBits::sbOnePtFive); }, stop, 1},
      {"sbTwo", [](TSerialPort& p) { p.SetStopBits(TStopBits::sbTwo); }, stop, 2},
      {"db4", [](TSerialPort& p) { p.SetDataBits(TDataBits::db4); }, size, 4},
      {"db7", [](TSerialPort& p) { p.SetDataBits(TDataBits::db7); }, size, 7},
      {"XONChar", [](TSerialPort& p) { p.SetXONChar(0x01); },
       [](const TLineSettings& l) -> unsigned { return l.XonChar; }, 1},
      {"XOFFChar", [](TSerialPort& p) { p.SetXOFFChar(0x02); },
       [](const TLineSettings& l) -> unsigned { return l.XoffChar; }, 2},
      {"XONLim", [](TSerialPort& p) { p.SetXONLim(100); },
       [](const TLineSettings& l) -> unsigned { return l.XonLim; }, 100},
      {"XOFFLim", [](TSerialPort& p) { p.SetXOFFLim(65535); },
       [](const TLineSettings& l) -> unsigned { return l.XoffLim; }, 65535},
      {"ErrorChar", [](TSerialPort& p) { p.SetErrorChar('?'); },
       [](const TLineSettings& l) -> unsigned { return l.ErrorChar; }, '?'},
      {"EOFChar", [](TSerialPort& p) { p.SetEOFChar(0x04); },
       [](const TLineSettings& l) -> unsigned { return l.EofChar; }, 4},
  };
  for (const TSettingCase& c : cases) {
    SCOPED_TRACE(c.name);
    TPortOnFakeLine fake;
    fake.OpenQuietly();
    c.change(fake.port);
    EXPECT_EQ(fake.line->calls, (Calls{"GetState", "SetState"}));
    ASSERT_EQ(fake.line->written.size(), 1u);
    EXPECT_EQ(c.field(fake.line->written[0]), c.expected);
  }
}

TEST(SerialPortSettings, ValuesWithoutALineFieldStillApplyButChangeNothingOnTheLine) {
  const std::vector<std::pair<const char*, std::function<void(TSerialPort&)>>> cases = {
      {"ParityErrorChar", [](TSerialPort& p) { p.SetParityErrorChar(0x05); }},
      {"CommPort", [](TSerialPort& p) { p.SetCommPort(TCommPort::cpCOM5); }},  // no reopen
  };
  for (const auto& [name, change] : cases) {
    SCOPED_TRACE(name);
    TPortOnFakeLine fake;
    fake.line->state = DriverRecord();
    fake.OpenQuietly();
    const TLineSettings before = fake.line->state;
    change(fake.port);
    EXPECT_EQ(fake.line->calls, (Calls{"GetState", "SetState"}));
    EXPECT_EQ(fake.line->state, before);
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

TEST(SerialPortSettings, ARefusedRecordLeavesThePortOpen) {
  TPortOnFakeLine fake;
  fake.line->setStateWorks = false;
  EXPECT_TRUE(fake.port.OpenPort());
  EXPECT_TRUE(fake.port.IsOpen());
  fake.port.SetBaudRate(TBaudRate::br110);
  EXPECT_TRUE(fake.port.IsOpen());
  EXPECT_EQ(fake.port.BaudRate(), TBaudRate::br110);
}

TEST(SerialPortSettings, AnUnreadableRecordIsNotWrittenBack) {
  TPortOnFakeLine fake;
  fake.line->getStateWorks = false;
  EXPECT_TRUE(fake.port.OpenPort());
  fake.port.SetBaudRate(TBaudRate::br110);
  EXPECT_EQ(fake.line->calls, (Calls{"Open COM2", "GetState", "GetState"}));
  EXPECT_TRUE(fake.port.IsOpen());
}

using TChange = std::function<void(TSerialPort&)>;

TChange Flow(TFlowControl value) {
  return [value](TSerialPort& p) { p.SetFlowControl(value); };
}
TChange Strip(bool value) {
  return [value](TSerialPort& p) { p.SetStripNullChars(value); };
}

struct TFlagCase {
  const char* name;
  std::vector<TChange> changes;
  std::uint32_t driverFlags;
  std::uint32_t expected;
};

TEST(SerialPortSettings, FlagOptionsSetTheirBitsAndClearThemWhenSwitchedBack) {
  // Binary 0x1, DTR enabled 0x10, TXContinueOnXoff 0x80, RTS enabled 0x1000.
  constexpr std::uint32_t kDriver = 0x1091;
  const std::vector<TFlagCase> cases = {
      {"fcXON_XOFF", {Flow(TFlowControl::fcXON_XOFF)}, kDriver, 0x1391},
      {"fcRTS_CTS", {Flow(TFlowControl::fcRTS_CTS)}, kDriver, 0x2095},
      {"fsDSR_DTR", {Flow(TFlowControl::fsDSR_DTR)}, kDriver, 0x10A9},
      {"ParityErrorChecking", {[](TSerialPort& p) { p.SetParityErrorChecking(true); }}, kDriver, 0x1093},
      {"ParityErrorReplacement",
       {[](TSerialPort& p) { p.SetParityErrorReplacement(true); }},
       kDriver,
       0x1491},
      {"StripNullChars", {Strip(true)}, kDriver, 0x1891},
      {"XON/XOFF then none", {Flow(TFlowControl::fcXON_XOFF), Flow(TFlowControl::fcNone)}, kDriver, 0x1091},
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
  for (const TFlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    TPortOnFakeLine fake;
    fake.line->state.Flags = c.driverFlags;
    fake.OpenQuietly();
    for (const TChange& change : c.changes) change(fake.port);
    ASSERT_EQ(fake.line->written.size(), c.changes.size());
    EXPECT_EQ(fake.line->written.back().Flags, c.expected);
  }
}

}  // namespace
}  // namespace serialtest
