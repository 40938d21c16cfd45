// TSerialPort opening, closing, purging and receiving over the fake line: the exact call sequences and
// what the events and the caller get.
#include <gtest/gtest.h>

#include <functional>

#include "fakecomm.h"

namespace serialtest {
namespace {

using serial::TSerialPort;
using Calls = std::vector<std::string>;

// Receives the events the way the main window does: member functions bound to an object.
class TListener {
 public:
  explicit TListener(TFakeLine& line) : FLine(line) {}
  void Receive(TSerialPort& from, std::string data) { Note(from, "OnReceive:" + data); }
  void AfterReceive(TSerialPort& from, std::string data) { Note(from, "AfterReceive:" + data); }
  TSerialPort* lastSender = nullptr;

  void Bind(TSerialPort& port) {
    port.OnReceive = std::bind_front(&TListener::Receive, this);
    port.AfterReceive = std::bind_front(&TListener::AfterReceive, this);
  }

 private:
  void Note(TSerialPort& from, const std::string& call) {
    lastSender = &from;
    FLine.calls.push_back(call);
  }
  TFakeLine& FLine;
};

struct SerialPortReceive : ::testing::Test {
  TPortOnFakeLine fake;
  TListener listener{*fake.line};
  void SetUp() override { listener.Bind(fake.port); }
};

TEST_F(SerialPortReceive, ClosedPortFiresNothingAndLeavesTheCallersText) {
  fake.line->waiting = "1234";
  std::string text = "untouched";
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "untouched");
  EXPECT_TRUE(fake.line->calls.empty());
}

TEST_F(SerialPortReceive, WaitingBytesAreReadBetweenTheTwoEvents) {
  fake.OpenQuietly();
  fake.line->waiting = "0123";
  std::string text;
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "0123");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:", "ClearError", "Read 4", "AfterReceive:0123"}));
  EXPECT_EQ(listener.lastSender, &fake.port);
}

TEST_F(SerialPortReceive, NothingWaitingHandsOnThePreviousTextUntilAPurge) {
  fake.OpenQuietly();
  fake.line->waiting = "first";
  std::string text;
  fake.port.ReceiveData(text);
  fake.line->calls.clear();

  text = "caller";
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "first");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:first", "ClearError", "AfterReceive:first"}));

  fake.port.PurgeInput();
  fake.line->calls.clear();
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:", "ClearError", "AfterReceive:"}));
}

TEST_F(SerialPortReceive, ZeroBytesAreDroppedAndTheRestKept) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string("AB\0CD", 5), "ABCD"},
      {std::string("\0X", 2), "X"},
      {std::string("X\0", 2), "X"},
      {std::string("\0\0\0", 3), ""},
      {std::string("0101 \0\0"
                   "201\r\n",
                   12),
       "0101 201\r\n"},
  };
  for (const auto& [burst, expected] : cases) {
    SCOPED_TRACE(expected);
    TPortOnFakeLine other;
    other.OpenQuietly();
    other.line->waiting = burst;
    std::string text = "previous";
    other.port.ReceiveData(text);
    EXPECT_EQ(text, expected);
  }
}

TEST_F(SerialPortReceive, OnlyTheBytesTheReadDeliveredAreKept) {
  fake.OpenQuietly();
  fake.line->waiting = "ABCDEFGHIJ";
  fake.line->readLimit = 4;
  std::string text;
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "ABCD");
}

TEST_F(SerialPortReceive, AFailedQueueQueryReadsNothingAndKeepsTheText) {
  fake.OpenQuietly();
  fake.line->waiting = "old";
  std::string text;
  fake.port.ReceiveData(text);
  fake.line->waiting = "new";
  fake.line->clearErrorWorks = false;
  fake.line->calls.clear();
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "old");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:old", "ClearError", "AfterReceive:old"}));
}

TEST_F(SerialPortReceive, AnAbsurdCountIsReadInBoundedPieces) {
  fake.OpenQuietly();
  fake.line->waiting = "abc";
  fake.line->reportedWaiting = 4000000000u;
  std::string text;
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(fake.line->calls[2], "Read 65536");
}

TEST_F(SerialPortReceive, AHandlerClosingThePortEndsTheReadWithoutTouchingTheLine) {
  fake.OpenQuietly();
  fake.line->waiting = "abc";
  fake.port.OnReceive = [](TSerialPort& sender, std::string) { sender.ClosePort(); };
  std::string text = "caller";
  fake.port.ReceiveData(text);
  EXPECT_FALSE(fake.port.IsOpen());
  EXPECT_EQ(fake.line->calls, (Calls{"Purge 5", "Purge 10", "Close", "AfterReceive:"}));
  EXPECT_EQ(text, "");
}

TEST_F(SerialPortReceive, PurgesClearTheirQueueOnlyWhileOpen) {
  fake.port.PurgeInput();
  fake.port.PurgeOutput();
  EXPECT_TRUE(fake.line->calls.empty());

  fake.OpenQuietly();
  fake.port.PurgeOutput();
  fake.port.PurgeInput();
  EXPECT_EQ(fake.line->calls, (Calls{"Purge 5", "Purge 10"}));
}

TEST_F(SerialPortReceive, OpenOnAnOpenPortClosesReopensAndEmptiesTheText) {
  fake.OpenQuietly();
  fake.line->waiting = "before";
  std::string text;
  fake.port.ReceiveData(text);
  fake.line->calls.clear();

  EXPECT_TRUE(fake.port.OpenPort());
  EXPECT_EQ(fake.line->calls, (Calls{"Purge 5", "Purge 10", "Close", "Open COM2", "GetState", "SetState"}));
  fake.line->calls.clear();
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "");
}

TEST_F(SerialPortReceive, APortThatDoesNotOpenStaysClosed) {
  fake.line->opens = false;
  EXPECT_FALSE(fake.port.OpenPort());
  EXPECT_FALSE(fake.port.IsOpen());
  EXPECT_EQ(fake.line->calls, (Calls{"Open COM2"}));

  std::string text = "caller";
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "caller");
}

TEST_F(SerialPortReceive, ClosePortReportsTheSystemsResultAndAlwaysEndsClosed) {
  EXPECT_FALSE(fake.port.ClosePort());  // never opened: nothing to close
  EXPECT_TRUE(fake.line->calls.empty());

  fake.OpenQuietly();
  EXPECT_TRUE(fake.port.ClosePort());
  EXPECT_FALSE(fake.port.IsOpen());
  EXPECT_EQ(fake.line->calls, (Calls{"Purge 5", "Purge 10", "Close"}));

  fake.OpenQuietly();
  fake.line->closeWorks = false;
  EXPECT_FALSE(fake.port.ClosePort());
  EXPECT_FALSE(fake.port.IsOpen());
}

TEST(SerialPortLifetime, DestroyingAnOpenPortClosesIt) {
  auto line = std::make_shared<TFakeLine>();
  {
    TSerialPort port(std::make_unique<TFakeComm>(line));
    port.OpenPort();
    line->calls.clear();
  }
  EXPECT_EQ(line->calls, (Calls{"Purge 5", "Purge 10", "Close"}));
}

TEST(SerialPortLifetime, APortWithoutACommLayerNeverOpens) {
  TSerialPort port(nullptr);
  EXPECT_FALSE(port.OpenPort());
  std::string text = "caller";
  port.ReceiveData(text);
  EXPECT_EQ(text, "caller");
  EXPECT_FALSE(port.ClosePort());
}

}  // namespace
}  // namespace serialtest
