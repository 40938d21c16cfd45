// The Win32 comm layer on COM1 under Wine, where run-test has mapped it to a pseudo-terminal whose far
// end the test drives. What Wine keeps of a pseudo-terminal's settings is written into the cases.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "comm.h"
#include "farend.h"
#include "serialport.h"

namespace {

using serial::TCommHandle;
using serial::TLineSettings;
namespace commflag = serial::commflag;

class CommWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    farEnd = testsupport::MakeFarEnd(error);
    ASSERT_NE(farEnd, nullptr) << error;
    handle = comm->Open("COM1");
    ASSERT_NE(handle, serial::InvalidCommHandle);
  }
  void TearDown() override {
    if (handle != serial::InvalidCommHandle) comm->Close(handle);
  }

  // Polls until count bytes wait (the relay to the pseudo-terminal takes a moment), for at most
  // about five seconds; returns the last count seen.
  std::uint32_t WaitFor(std::uint32_t count) {
    std::uint32_t waiting = 0;
    for (int round = 0; round < 500; ++round) {
      if (!comm->ClearError(handle, waiting) || waiting >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return waiting;
  }

  std::unique_ptr<testsupport::TFarEnd> farEnd;
  std::unique_ptr<serial::TCommLayer> comm = serial::MakeSystemCommLayer();
  TCommHandle handle = serial::InvalidCommHandle;
};

TEST_F(CommWin32, ZeroBytesAreCountedAndReadLikeAnyOther) {
  const std::string bytes("a\0b\0\0c", 6);
  ASSERT_TRUE(farEnd->Write(bytes));
  ASSERT_EQ(WaitFor(6), 6u);
  char buffer[16] = {};
  std::uint32_t read = 0;
  EXPECT_TRUE(comm->Read(handle, buffer, 6, read));
  EXPECT_EQ(read, 6u);
  EXPECT_EQ(std::string(buffer, read), bytes);
}

// Without the time-outs set on open, this read would wait for bytes that never come.
TEST_F(CommWin32, AReadOfAnEmptyQueueReturnsAtOnce) {
  char buffer[16];
  std::uint32_t read = 99;
  EXPECT_TRUE(comm->Read(handle, buffer, sizeof buffer, read));
  EXPECT_EQ(read, 0u);
}

TEST_F(CommWin32, PurgeEmptiesTheInputQueue) {
  ASSERT_TRUE(farEnd->Write("thrown away"));
  ASSERT_EQ(WaitFor(11), 11u);
  EXPECT_TRUE(comm->Purge(handle, serial::purge::RxAbort | serial::purge::RxClear));
  std::uint32_t waiting = 99;
  EXPECT_TRUE(comm->ClearError(handle, waiting));
  EXPECT_EQ(waiting, 0u);
}

// A fresh pseudo-terminal as Wine reports it: binary mode, DTR and RTS on.
TEST_F(CommWin32, AFreshLineReadsAsBinaryWithDtrAndRtsOn) {
  TLineSettings line;
  ASSERT_TRUE(comm->GetState(handle, line));
  EXPECT_EQ(line.Flags, 0x1011u);
}

// Wine keeps only the flow-control flags on a pseudo-terminal; each must come back in its own bit.
TEST_F(CommWin32, FlowControlFlagsReachTheirDcbBitfieldsAndComeBack) {
  TLineSettings original;
  ASSERT_TRUE(comm->GetState(handle, original));
  const struct {
    const char* name;
    std::uint32_t flags;
  } cases[] = {{"CTS output flow", commflag::OutxCtsFlow},
               {"XON/XOFF output", commflag::OutX},
               {"XON/XOFF input", commflag::InX},
               {"XON/XOFF both ways", commflag::OutX | commflag::InX}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLineSettings wanted = original;
    wanted.Flags |= c.flags;
    EXPECT_TRUE(comm->SetState(handle, wanted));
    TLineSettings line;
    ASSERT_TRUE(comm->GetState(handle, line));
    EXPECT_EQ(line.Flags, wanted.Flags);
    ASSERT_TRUE(comm->SetState(handle, original));
  }
}

TEST_F(CommWin32, AVanishedFarEndFailsTheCountWithNothingWaiting) {
  ASSERT_TRUE(farEnd->Write("lost"));
  ASSERT_EQ(WaitFor(4), 4u);
  farEnd->Vanish();
  std::uint32_t waiting = 99;
  EXPECT_FALSE(comm->ClearError(handle, waiting));
  EXPECT_EQ(waiting, 0u);
  EXPECT_TRUE(comm->Close(handle));
  handle = serial::InvalidCommHandle;
}

TEST(CommWin32Ports, APortWithNothingBehindItStaysClosed) {
  EXPECT_EQ(serial::MakeSystemCommLayer()->Open("COM7"), serial::InvalidCommHandle);
  serial::TSerialPort port;
  port.SetCommPort(serial::TCommPort::cpCOM7);
  EXPECT_FALSE(port.OpenPort());
  EXPECT_FALSE(port.IsOpen());
}

// Closing INVALID_HANDLE_VALUE would "succeed" as the current process's pseudo-handle.
TEST(CommWin32Ports, CloseRefusesTheInvalidHandle) {
  EXPECT_FALSE(serial::MakeSystemCommLayer()->Close(serial::InvalidCommHandle));
}

}  // namespace
