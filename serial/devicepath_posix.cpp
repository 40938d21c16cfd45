#include "devicepath.h"

namespace serial {

namespace {

// The digit of "COM1".."COM8", or 0 for any other name.
char PortDigit(std::string_view name) {
  if (name.size() != 4 || name.substr(0, 3) != "COM" || name[3] < '1' || name[3] > '8') return 0;
  return name[3];
}

// What LOGCHAMADAS_COMn holds for the port, or empty.
std::string Redirection(std::string_view portName, const TEnvironmentLookup& environment) {
  if (PortDigit(portName) == 0) return {};
  const std::string variable = "LOGCHAMADAS_" + std::string(portName);
  const char* redirected = environment(variable.c_str());
  return redirected != nullptr ? redirected : "";
}

}  // namespace

const char* const SerialDeviceNames = "COM1 a COM8 ou o caminho de um dispositivo (/dev/ttyUSB0, /dev/serial/by-id/...)";

std::string CommDevicePath(std::string_view deviceName, const TEnvironmentLookup& environment) {
  if (deviceName.size() > 1 && deviceName.front() == '/') return std::string(deviceName);
  const char digit = PortDigit(deviceName);
  if (digit == 0) return {};
  if (std::string redirected = Redirection(deviceName, environment); !redirected.empty()) return redirected;
  return std::string("/dev/ttyS") + static_cast<char>(digit - 1);
}

std::string PortDevice(std::string_view portName, std::string_view configured, const TEnvironmentLookup& environment) {
  if (std::string redirected = Redirection(portName, environment); !redirected.empty()) return redirected;
  return std::string(configured.empty() ? portName : configured);
}

}  // namespace serial
