// Device names as each system opens them, and the device a port name leads to.
// Linux: "COM1".."COM8" are /dev/ttyS0../dev/ttyS7, each redirectable through the environment
// variable LOGCHAMADAS_COM1..LOGCHAMADAS_COM8 holding a device path; any absolute path is itself
// (/dev/ttyUSB0, /dev/serial/by-id/...). Windows: "COMn" (n from 1 to 256, any case) and "\\.\NAME"
// open in the \\.\ form, which also reaches COM10 and above; Windows reads no environment.
// One implementation per system: devicepath_posix.cpp, devicepath_win32.cpp.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace serial {

// Looks up an environment variable; null when it is not set.
using TEnvironmentLookup = std::function<const char*(const char* name)>;

// The path this system opens for a device name, or empty when it has no device by that name.
std::string CommDevicePath(std::string_view deviceName, const TEnvironmentLookup& environment);
// The same, reading the process environment: the one place the program reads LOGCHAMADAS_COMn.
std::string CommDevicePath(std::string_view deviceName);

// The device a port name (what TSerialPort opens: "COM1".."COM8") leads to when the site configured a
// device for it; an empty configured device leaves the name itself. On Linux the port's own
// LOGCHAMADAS_COMn, when set and not empty, wins over the configured device, as it has always
// redirected that port (and a configured "COMm" then follows its own LOGCHAMADAS_COMm when opened).
std::string PortDevice(std::string_view portName, std::string_view configured, const TEnvironmentLookup& environment);
std::string PortDevice(std::string_view portName, std::string_view configured);

// Whether the serial layer of this system has a device by that name (without opening it), and how
// such names are written, for the operator's messages.
bool IsSerialDeviceName(std::string_view name);
extern const char* const SerialDeviceNames;

}  // namespace serial
