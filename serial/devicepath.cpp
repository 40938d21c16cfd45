#include "devicepath.h"

#include <cstdlib>

namespace serial {

std::string CommDevicePath(std::string_view deviceName, const TEnvironmentLookup& environment) {
  if (deviceName.size() != 4 || deviceName.substr(0, 3) != "COM") return {};
  const char digit = deviceName[3];
  if (digit < '1' || digit > '8') return {};

  const std::string variable = std::string("LOGCHAMADAS_") + std::string(deviceName);
  const char* redirected = environment(variable.c_str());
  if (redirected != nullptr && *redirected != '\0') return redirected;
  return std::string("/dev/ttyS") + static_cast<char>(digit - 1);
}

std::string CommDevicePath(std::string_view deviceName) {
  return CommDevicePath(deviceName, [](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace serial
