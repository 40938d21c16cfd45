// TSerialPort on a real serial line whose far end the test writes. Only the far-end interface and the
// component appear here, so the same bodies run on Linux (pseudo-terminal) and on Windows (Wine).
#include <gtest/gtest.h>

#include "farend.h"
#include "lineprobe.h"
#include "serialport.h"

namespace serialtest {
namespace {

using serial::TBaudRate;
using serial::TCommPort;
using serial::TLineSettings;
using serial::TSerialPort;
using serial::TStopBits;

class SerialLine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    farEnd = testsupport::MakeFarEnd(error);
    ASSERT_NE(farEnd, nullptr) << error;
    port.SetCommPort(TCommPort::cpCOM1);
    port.AfterReceive = [this](TSerialPort&, std::string data) { delivered.push_back(data); };
    ASSERT_TRUE(port.OpenPort());
  }

  // Writes bytes on the far side and waits until they all wait on the near side.
  void Send(const std::string& bytes) {
    const long long before = probe->Waiting();
    ASSERT_TRUE(farEnd->Write(bytes));
    const long long expected = before + static_cast<long long>(bytes.size());
    ASSERT_EQ(probe->WaitFor(expected), expected);
  }

  std::string Receive() {
    std::string text = "not delivered";
    port.ReceiveData(text);
    return text;
  }

  std::unique_ptr<testsupport::TFarEnd> farEnd;
  std::shared_ptr<TLineProbe> probe = std::make_shared<TLineProbe>();
  TSerialPort port{std::make_unique<TProbedComm>(probe)};
  std::vector<std::string> delivered;
};

TEST_F(SerialLine, BytesFromTheFarSideAreCountedAndReadExactly) {
  const std::string line = "01/02 10:15 201 03 0012345678 00:01:30\r\n";
  Send(line);
  EXPECT_EQ(probe->Waiting(), 40);
  EXPECT_EQ(Receive(), line);
  EXPECT_EQ(delivered, std::vector<std::string>{line});
  EXPECT_EQ(probe->Waiting(), 0);
}

TEST_F(SerialLine, EveryByteValueButZeroArrivesUntouched) {
  std::string bytes;
  for (int value = 1; value < 256; ++value) bytes.push_back(static_cast<char>(value));
  Send(bytes);
  EXPECT_EQ(Receive(), bytes);
}

TEST_F(SerialLine, SeveralLinesBetweenTwoReadsComeAsOneText) {
  Send("first line\r\n");
  Send("second line\r\n");
  Send("third");
  EXPECT_EQ(Receive(), "first line\r\nsecond line\r\nthird");
  EXPECT_EQ(delivered.size(), 1u);
}

TEST_F(SerialLine, PurgeInputEmptiesTheQueue) {
  Send("to be thrown away\r\n");
  port.PurgeInput();
  EXPECT_EQ(probe->Waiting(), 0);
  EXPECT_EQ(Receive(), "");
  Send("kept");
  EXPECT_EQ(Receive(), "kept");
}

TEST_F(SerialLine, AStrayZeroByteIsDroppedAndTheRestKept) {
  Send(std::string("0101\0 201 0034\r\n", 16));
  EXPECT_EQ(Receive(), "0101 201 0034\r\n");
}

TEST_F(SerialLine, AVanishedPeerIsNoCrashAndNoException) {
  Send("partial");
  farEnd->Vanish();
  EXPECT_FALSE(farEnd->Write("more"));
  for (int i = 0; i < 3; ++i) {
    std::string text;
    EXPECT_NO_THROW(port.ReceiveData(text));
    EXPECT_NO_THROW(port.PurgeInput());
  }
  EXPECT_TRUE(port.IsOpen());
  EXPECT_NO_THROW(port.ClosePort());
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialLine, ASecondOpenOfAHeldPortFailsUntilItIsClosed) {
  TSerialPort second;
  second.SetCommPort(TCommPort::cpCOM1);
  if (!testsupport::LineLimits().refusesSecondOpen) {
    // Wine: the second open succeeds although the program asks for no sharing.
    EXPECT_TRUE(second.OpenPort());
    return;
  }
  EXPECT_FALSE(second.OpenPort());
  EXPECT_FALSE(second.IsOpen());

  Send("still mine");
  EXPECT_EQ(Receive(), "still mine");

  port.ClosePort();
  EXPECT_TRUE(second.OpenPort());
}

// A pseudo-terminal keeps speed, stop bits and the XON/XOFF characters, but not parity or data bits.
TEST_F(SerialLine, SettingsReachTheLine) {
  port.SetBaudRate(TBaudRate::br19200);
  port.SetStopBits(TStopBits::sbTwo);
  port.SetXONChar(0x01);
  port.SetXOFFChar(0x02);
  TLineSettings line;
  ASSERT_TRUE(probe->Settings(line));
  EXPECT_EQ(line.BaudRate, 19200u);
  EXPECT_EQ(line.StopBits, 2);
  EXPECT_EQ(line.XonChar, 0x01);
  EXPECT_EQ(line.XoffChar, 0x02);
}

void ExpectRatesReachTheLine(TSerialPort& port, const TLineProbe& probe,
                             const std::vector<std::pair<TBaudRate, std::uint32_t>>& rates) {
  for (const auto& [rate, bitsPerSecond] : rates) {
    SCOPED_TRACE(bitsPerSecond);
    port.SetBaudRate(rate);
    TLineSettings line;
    ASSERT_TRUE(probe.Settings(line));
    EXPECT_EQ(line.BaudRate, bitsPerSecond);
  }
}

TEST_F(SerialLine, EveryStandardRateReachesTheLine) {
  ExpectRatesReachTheLine(port, *probe,
                          {{TBaudRate::br110, 110},
                           {TBaudRate::br300, 300},
                           {TBaudRate::br600, 600},
                           {TBaudRate::br1200, 1200},
                           {TBaudRate::br2400, 2400},
                           {TBaudRate::br4800, 4800},
                           {TBaudRate::br19200, 19200},
                           {TBaudRate::br38400, 38400},
                           {TBaudRate::br9600, 9600}});
}

// Rates Linux has no constant for; the line must hold them exactly, not a neighbour.
TEST_F(SerialLine, RatesWithoutAConstantReachTheLineExactly) {
  // Wine over a pseudo-terminal: each of them leaves the line at 38400.
  const bool kept = testsupport::LineLimits().keepsRatesWithoutAConstant;
  ExpectRatesReachTheLine(port, *probe,
                          {{TBaudRate::br14400, kept ? 14400u : 38400u},
                           {TBaudRate::br56000, kept ? 56000u : 38400u},
                           {TBaudRate::br128000, kept ? 128000u : 38400u},
                           {TBaudRate::br256000, kept ? 256000u : 38400u}});
}

}  // namespace
}  // namespace serialtest
