// The router over two fake layers that number their lines alike: each device opens on the layer its
// name asks for, every later call reaches the layer that opened the line, and the port's name leads to
// the routed device.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakecomm.h"
#include "linerouter.h"

namespace serialtest {
namespace {

using serial::TCommPort;

struct RoutedPort : ::testing::Test {
  std::shared_ptr<TFakeLine> serialLine = std::make_shared<TFakeLine>();
  std::shared_ptr<TFakeLine> tcpLine = std::make_shared<TFakeLine>();
  std::unique_ptr<serial::TLineRouter> owned = std::make_unique<serial::TLineRouter>(
      std::make_unique<TFakeComm>(serialLine), std::make_unique<TFakeComm>(tcpLine));
  serial::TLineRouter& router = *owned;
  TSerialPort port{std::move(owned)};

  void SetUp() override { port.SetCommPort(TCommPort::cpCOM1); }
};

TEST_F(RoutedPort, EachDeviceOpensOnItsLayerAndItsCallsStayThere) {
  // No route: the port's name opens itself on the serial layer, as it always did.
  ASSERT_TRUE(port.OpenPort());
  EXPECT_EQ(serialLine->calls, (Calls{"Open COM1", "GetState", "SetState"}));

  router.SetDevice("COM1", "tcp://10.0.0.5:4001");
  EXPECT_EQ(router.DeviceFor("COM1"), "tcp://10.0.0.5:4001");
  EXPECT_EQ(router.DeviceFor("COM2"), "COM2");
  EXPECT_EQ(router.Describe("COM1"), "tcp://10.0.0.5:4001");
  serialLine->calls.clear();
  tcpLine->waiting = "0102 10:15\r\n";
  ASSERT_TRUE(port.OpenPort());
  std::string text;
  port.ReceiveData(text);
  EXPECT_EQ(text, "0102 10:15\r\n");
  EXPECT_TRUE(port.ClosePort());
  EXPECT_EQ(serialLine->calls, (Calls{"Purge 5", "Purge 10", "Close"}));  // the earlier line's closing
  EXPECT_EQ(tcpLine->calls, (Calls{"Open tcp://10.0.0.5:4001", "GetState", "SetState", "ClearError", "Read 12",
                                   "Purge 5", "Purge 10", "Close"}));

  // A path and a Windows device name go to the serial layer; an empty device removes the route.
  for (const char* device : {"/dev/serial/by-id/usb-FTDI-if00-port0", "\\\\.\\COM12", ""}) {
    SCOPED_TRACE(device);
    serialLine->calls.clear();
    router.SetDevice("COM1", device);
    ASSERT_TRUE(port.OpenPort());
    const std::string open = std::string("Open ") + (*device != 0 ? device : "COM1");
    EXPECT_NE(std::find(serialLine->calls.begin(), serialLine->calls.end(), open), serialLine->calls.end());
  }
}

TEST_F(RoutedPort, HandlesOfTheRouterAreItsOwn) {
  router.SetDevice("COM1", "tcp://10.0.0.5:4001");
  ASSERT_TRUE(port.OpenPort());
  // Both fakes number their line 42; a handle the router never gave out reaches neither.
  tcpLine->calls.clear();
  std::uint32_t waiting = 7;
  EXPECT_FALSE(router.ClearError(TFakeComm::kHandle, waiting));
  EXPECT_EQ(waiting, 0u);
  EXPECT_FALSE(router.Close(serial::InvalidCommHandle));
  EXPECT_TRUE(tcpLine->calls.empty());
  EXPECT_TRUE(serialLine->calls.empty());

  // A device that does not open leaves nothing behind.
  tcpLine->opens = false;
  EXPECT_FALSE(port.OpenPort());
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace serialtest
