// The ports found on Linux, against a made folder laid out like /dev and /sys: stable names first, USB
// adapters described by their product, ttyS only with a UART behind it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "portlist.h"

namespace {

namespace fs = std::filesystem;
using serial::TPortInfo;

void Touch(const fs::path& file, const std::string& text = "") {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << '\n';
}

void Link(const fs::path& link, const fs::path& target) {
  fs::create_directories(link.parent_path());
  fs::create_symlink(target, link);
}

struct PortList : ::testing::Test {
  fs::path root;
  void SetUp() override {
    std::string folder = (fs::temp_directory_path() / "portlist-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    root = folder;
  }
  void TearDown() override { fs::remove_all(root); }
};

TEST_F(PortList, FindsStableNamesAdaptersAndRealUartsOnly) {
  EXPECT_TRUE(serial::ListSerialPortsUnder(root).empty());

  for (const char* tty : {"ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyUSB10", "ttyACM0", "tty0",
                          "ttyUSBx", "console"}) {
    Touch(root / "dev" / tty);
  }
  const fs::path sys = root / "sys/class/tty";
  Touch(sys / "ttyS0/type", "4");  // a 16550A
  Touch(sys / "ttyS1/type", "0");  // PORT_UNKNOWN: the kernel's placeholder
  Touch(sys / "ttyS10/type", "4");
  fs::create_directories(sys / "ttyS2/device/driver");  // no type given: bound to a driver
  Touch(root / "sys/devices/usb1/1-1/product", "FT232R USB UART");
  fs::create_directories(root / "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0");
  Link(sys / "ttyUSB0/device", "../../../devices/usb1/1-1/1-1:1.0/ttyUSB0");
  Link(root / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0", "../../ttyUSB0");

  const std::vector<TPortInfo> expected = {
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0", "FTDI FT232R USB UART A10K (ttyUSB0)"},
      {"/dev/ttyUSB0", "adaptador USB-serial: FT232R USB UART"},
      {"/dev/ttyUSB1", "adaptador USB-serial"},
      {"/dev/ttyUSB10", "adaptador USB-serial"},
      {"/dev/ttyACM0", "dispositivo USB (CDC-ACM)"},
      {"/dev/ttyS0", "porta serial da placa (COM1)"},
      {"/dev/ttyS2", "porta serial da placa (COM3)"},
      {"/dev/ttyS10", "porta serial da placa"},
  };
  EXPECT_EQ(serial::ListSerialPortsUnder(root), expected);
}

// This machine's own list, whatever it holds: every entry a device under /dev with a description.
TEST(PortListHere, NamesDevicesWithDescriptions) {
  for (const TPortInfo& port : serial::ListSerialPorts()) {
    SCOPED_TRACE(port.Device);
    EXPECT_EQ(port.Device.rfind("/dev/", 0), 0u);
    EXPECT_FALSE(port.Description.empty());
  }
}

}  // namespace
