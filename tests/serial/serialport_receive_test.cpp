// TSerialPort opening, closing, purging and receiving over the fake line: the exact call sequences and
// what the events and the caller get.
#include <gtest/gtest.h>

#include "fakecomm.h"

namespace serialtest {
namespace {

using serial::TSerialPort;

// Writes the events into the line's list of calls, with the sender they came from.
struct SerialPortReceive : ::testing::Test {
  TPortOnFakeLine fake;
  TSerialPort* lastSender = nullptr;

  void SetUp() override {
    fake.port.OnReceive = [this](TSerialPort& from, std::string data) { Note(from, "OnReceive:" + data); };
    fake.port.AfterReceive = [this](TSerialPort& from, std::string data) {
      Note(from, "AfterReceive:" + data);
    };
  }
  void Note(TSerialPort& from, const std::string& event) {
    lastSender = &from;
    fake.line->calls.push_back(event);
  }
  // Opens the port with bytes waiting and receives them; the calls so far are forgotten.
  std::string OpenAndReceive(const std::string& waiting) {
    fake.OpenQuietly();
    fake.line->waiting = waiting;
    std::string text;
    fake.port.ReceiveData(text);
    fake.line->calls.clear();
    return text;
  }
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
  EXPECT_EQ(lastSender, &fake.port);
}

TEST_F(SerialPortReceive, NothingWaitingHandsOnThePreviousTextUntilAPurge) {
  OpenAndReceive("first");
  std::string text = "caller";
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "first");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:first", "ClearError", "AfterReceive:first"}));

  fake.port.PurgeInput();
  fake.line->calls.clear();
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "");
  EXPECT_EQ(fake.line->calls, (Calls{"OnReceive:", "ClearError", "AfterReceive:"}));
}

TEST_F(SerialPortReceive, OnlyTheBytesTheReadDeliveredAreKept) {
  fake.line->readLimit = 4;
  EXPECT_EQ(OpenAndReceive("ABCDEFGHIJ"), "ABCD");
}

TEST_F(SerialPortReceive, AFailedQueueQueryReadsNothingAndKeepsTheText) {
  std::string text = OpenAndReceive("old");
  fake.line->waiting = "new";
  fake.line->clearErrorWorks = false;
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
  std::string text = OpenAndReceive("before");
  EXPECT_TRUE(fake.port.OpenPort());
  EXPECT_EQ(fake.line->calls, (Calls{"Purge 5", "Purge 10", "Close", "Open COM2", "GetState", "SetState"}));
  fake.port.ReceiveData(text);
  EXPECT_EQ(text, "");
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

// A device that does not open, or no comm layer at all: closed, and the caller's text left alone.
TEST(SerialPortLifetime, APortThatDoesNotOpenStaysClosed) {
  TPortOnFakeLine fake;
  fake.line->opens = false;
  TSerialPort withoutLayer(nullptr);
  for (TSerialPort* port : {&fake.port, &withoutLayer}) {
    EXPECT_FALSE(port->OpenPort());
    EXPECT_FALSE(port->IsOpen());
    std::string text = "caller";
    port->ReceiveData(text);
    EXPECT_EQ(text, "caller");
    EXPECT_FALSE(port->ClosePort());
  }
  EXPECT_EQ(fake.line->calls, (Calls{"Open COM2"}));
}

}  // namespace
}  // namespace serialtest
