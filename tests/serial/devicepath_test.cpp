// Device names to the paths each system opens, with and without the LOGCHAMADAS_COMn redirections, and
// the device a routed port leads to.
#include <gtest/gtest.h>

#include <map>

#include "devicepath.h"

namespace {

serial::TEnvironmentLookup Environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
}

using TVariables = std::map<std::string, std::string>;

struct TPathCase {
  const char* name;
  TVariables environment;
  const char* expected;
};

#ifdef _WIN32
// Windows reads no environment; every COM name opens in the \\.\ form, which reaches COM10 and above.
const std::vector<TPathCase> kPathCases = {
    {"COM1", {{"LOGCHAMADAS_COM1", "COM3"}}, "\\\\.\\COM1"},
    {"COM12", {}, "\\\\.\\COM12"},
    {"com3", {}, "\\\\.\\COM3"},
    {"COM256", {}, "\\\\.\\COM256"},
    {"\\\\.\\COM12", {}, "\\\\.\\COM12"},
    {"\\\\.\\", {}, ""},
    {"COM0", {}, ""},
    {"COM01", {}, ""},
    {"COM257", {}, ""},
    {"COMx", {}, ""},
    {"/dev/ttyS0", {}, ""},
    {"", {}, ""},
};
const TVariables kRedirected = {{"LOGCHAMADAS_COM1", "COM4"}};
const char* const kRedirectedCom1 = "/dev/ttyUSB0";  // the routed device: the variable means nothing here
#else
const std::vector<TPathCase> kPathCases = {
    {"COM1", {}, "/dev/ttyS0"},
    {"COM8", {}, "/dev/ttyS7"},
    {"COM1", {{"LOGCHAMADAS_COM1", "/dev/ttyUSB0"}}, "/dev/ttyUSB0"},
    {"COM2", {{"LOGCHAMADAS_COM1", "/dev/ttyUSB0"}}, "/dev/ttyS1"},  // each port its own variable
    {"COM1", {{"LOGCHAMADAS_COM1", ""}}, "/dev/ttyS0"},              // set but empty: not redirected
    {"/dev/ttyUSB0", {{"LOGCHAMADAS_COM1", "/dev/ttyS3"}}, "/dev/ttyUSB0"},
    {"/dev/serial/by-id/usb-FTDI-if00-port0", {}, "/dev/serial/by-id/usb-FTDI-if00-port0"},
    {"/", {}, ""},
    {"ttyUSB0", {}, ""},  // a path is absolute
    {"COM0", {}, ""},
    {"COM9", {}, ""},
    {"COM12", {}, ""},
    {"COM10", {{"LOGCHAMADAS_COM10", "/dev/pts/7"}}, ""},
    {"com1", {}, ""},
    {"\\\\.\\COM12", {}, ""},
    {"", {}, ""},
};
const TVariables kRedirected = {{"LOGCHAMADAS_COM1", "/dev/pts/4"}};
const char* const kRedirectedCom1 = "/dev/pts/4";  // the port's own variable wins over the routed device
#endif

TEST(CommDevicePath, MapsDeviceNamesAndHonoursRedirections) {
  for (const TPathCase& c : kPathCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serial::CommDevicePath(c.name, Environment(c.environment)), c.expected);
    EXPECT_EQ(serial::IsSerialDeviceName(c.name), *c.expected != '\0');
  }
}

TEST(PortDevice, TheRoutedDeviceUnlessThePortIsRedirected) {
  const auto none = Environment({});
  EXPECT_EQ(serial::PortDevice("COM1", "", none), "COM1");
  EXPECT_EQ(serial::PortDevice("COM1", "tcp://10.0.0.5:4001", none), "tcp://10.0.0.5:4001");
  EXPECT_EQ(serial::PortDevice("COM1", "/dev/ttyUSB0", Environment(kRedirected)), kRedirectedCom1);
  EXPECT_EQ(serial::PortDevice("COM2", "/dev/ttyUSB0", Environment(kRedirected)), "/dev/ttyUSB0");
}

}  // namespace
