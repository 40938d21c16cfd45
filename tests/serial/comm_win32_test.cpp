// The Win32 comm layer on COM1 under Wine, where run-test has mapped it to a pseudo-terminal whose far
// end the test drives. What Wine keeps of a pseudo-terminal's settings is written into the cases.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "comm.h"
#include "farend.h"
#include "lineprobe.h"
#include "portlist.h"
#include "serialport.h"

namespace {

using serial::TLineSettings;
namespace commflag = serial::commflag;

class CommWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    farEnd = testsupport::MakeFarEnd(error);
    ASSERT_NE(farEnd, nullptr) << error;
    ASSERT_NE(line.Open("COM1"), serial::InvalidCommHandle);
  }
  void TearDown() override {
    if (line.Handle() != serial::InvalidCommHandle) line.Close(line.Handle());
  }

  std::unique_ptr<testsupport::TFarEnd> farEnd;
  serialtest::TLineProbe line;
};

TEST_F(CommWin32, ZeroBytesAreCountedAndReadLikeAnyOther) {
  const std::string bytes("a\0b\0\0c", 6);
  ASSERT_TRUE(farEnd->Write(bytes));
  ASSERT_EQ(line.WaitFor(6), 6);
  char buffer[16] = {};
  std::uint32_t read = 0;
  EXPECT_TRUE(line.Read(line.Handle(), buffer, 6, read));
  EXPECT_EQ(std::string(buffer, read), bytes);
}

// Without the time-outs set on open, this read would wait for bytes that never come.
TEST_F(CommWin32, AReadOfAnEmptyQueueReturnsAtOnce) {
  char buffer[16];
  std::uint32_t read = 99;
  EXPECT_TRUE(line.Read(line.Handle(), buffer, sizeof buffer, read));
  EXPECT_EQ(read, 0u);
}

// A fresh pseudo-terminal reads as binary with DTR and RTS on. Wine keeps only the flow-control flags
// on it; each must come back in its own bit.
TEST_F(CommWin32, FlowControlFlagsReachTheirDcbBitfieldsAndComeBack) {
  TLineSettings original;
  ASSERT_TRUE(line.Settings(original));
  EXPECT_EQ(original.Flags, 0x1011u);
  for (const std::uint32_t flags :
       {commflag::OutxCtsFlow, commflag::OutX, commflag::InX, commflag::OutX | commflag::InX}) {
    SCOPED_TRACE(flags);
    TLineSettings wanted = original;
    wanted.Flags |= flags;
    EXPECT_TRUE(line.SetState(line.Handle(), wanted));
    TLineSettings back;
    ASSERT_TRUE(line.Settings(back));
    EXPECT_EQ(back.Flags, wanted.Flags);
    ASSERT_TRUE(line.SetState(line.Handle(), original));
  }
}

// The registry's list of serial ports, as a driver would fill it. Numbers Wine leaves free (it lists
// its own ports from COM1: the two run-test maps, then the machine's devices): 9 before 12.
TEST(CommWin32Ports, PortsAreListedFromTheRegistryByNumber) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::pair<const char*, const char*> values[] = {{"\\Device\\VCP0", "COM12"},
                                                        {"\\Device\\TestSerial9", "COM9"}};
  for (const auto& [name, port] : values) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(port), static_cast<DWORD>(strlen(port) + 1));
  }
  const std::vector<serial::TPortInfo> ports = serial::ListSerialPorts();
  for (const auto& [name, port] : values) RegDeleteValueA(key, name);
  RegCloseKey(key);

  const auto at = [&](const char* device) {
    return std::find_if(ports.begin(), ports.end(), [&](const serial::TPortInfo& p) { return p.Device == device; });
  };
  ASSERT_NE(at("COM9"), ports.end());
  ASSERT_NE(at("COM12"), ports.end());
  EXPECT_LT(at("COM9"), at("COM12"));
  EXPECT_EQ(at("COM12")->Description, "adaptador USB-serial (VCP0)");
  EXPECT_EQ(at("COM9")->Description, "porta serial (TestSerial9)");
}

// COM7 has nothing behind it; closing INVALID_HANDLE_VALUE would "succeed" as the current process's
// pseudo-handle.
TEST(CommWin32Ports, AMissingPortStaysClosedAndTheInvalidHandleIsNotClosed) {
  EXPECT_EQ(serial::MakeSystemCommLayer()->Open("COM7"), serial::InvalidCommHandle);
  serial::TSerialPort port;
  port.SetCommPort(serial::TCommPort::cpCOM7);
  EXPECT_FALSE(port.OpenPort());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(serial::MakeSystemCommLayer()->Close(serial::InvalidCommHandle));
}

}  // namespace
