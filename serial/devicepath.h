// Where "COM1".."COM8" live on a POSIX system: /dev/ttyS0../dev/ttyS7, each redirectable through the
// environment variable LOGCHAMADAS_COM1..LOGCHAMADAS_COM8 holding a device path.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace serial {

// Looks up an environment variable; null when it is not set.
using TEnvironmentLookup = std::function<const char*(const char* name)>;

// The device path for a port name, or empty when the name is not one of "COM1".."COM8".
std::string CommDevicePath(std::string_view deviceName, const TEnvironmentLookup& environment);

// The same, reading the process environment: the one place the program does.
std::string CommDevicePath(std::string_view deviceName);

}  // namespace serial
