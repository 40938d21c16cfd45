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
  std::unique_ptr<TLineProbe> owned = std::make_unique<TLineProbe>();
  TLineProbe* probe = owned.get();  // the port owns it
  TSerialPort port{std::move(owned)};
  std::vector<std::string> delivered;
};

// Every byte is counted and read exactly; a stray zero byte is dropped and the bytes after it kept.
TEST_F(SerialLine, BytesAreCountedAndReadExactlyButAStrayZero) {
  std::string bytes = "01/02 10:15 201 03 0012345678 00:01:30\r\n";
  for (int value = 1; value < 256; ++value) bytes.push_back(static_cast<char>(value));
  Send(std::string("0101\0 ", 6) + bytes);
  EXPECT_EQ(probe->Waiting(), 301);
  EXPECT_EQ(Receive(), "0101 " + bytes);
  EXPECT_EQ(delivered, std::vector<std::string>{"0101 " + bytes});
  EXPECT_EQ(probe->Waiting(), 0);
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

TEST_F(SerialLine, AVanishedPeerIsNoCrashAndNoException) {
  Send("partial");
  farEnd->Vanish();
  EXPECT_FALSE(farEnd->Write("more"));
  EXPECT_EQ(probe->Waiting(), -1);  // the line no longer tells
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
  port.SetStopBits(TStopBits::sbTwo);
  port.SetXONChar(0x01);
  port.SetXOFFChar(0x02);
  TLineSettings line;
  ASSERT_TRUE(probe->Settings(line));
  EXPECT_EQ(line.StopBits, 2);
  EXPECT_EQ(line.XonChar, 0x01);
  EXPECT_EQ(line.XoffChar, 0x02);

  // Wine over a pseudo-terminal leaves the line at 38400 for a rate Linux has no constant for.
  const bool kept = testsupport::LineLimits().keepsRatesWithoutAConstant;
  for (const auto& [rate, bitsPerSecond] : {std::pair{TBaudRate::br110, 110u},
                                            {TBaudRate::br19200, 19200u},
                                            {TBaudRate::br14400, kept ? 14400u : 38400u},
                                            {TBaudRate::br128000, kept ? 128000u : 38400u},
                                            {TBaudRate::br256000, kept ? 256000u : 38400u},
                                            {TBaudRate::br9600, 9600u}}) {
    SCOPED_TRACE(bitsPerSecond);
    port.SetBaudRate(rate);
    ASSERT_TRUE(probe->Settings(line));
    EXPECT_EQ(line.BaudRate, bitsPerSecond);
  }
}

}  // namespace
}  // namespace serialtest
