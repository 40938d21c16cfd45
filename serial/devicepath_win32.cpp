#include <algorithm>
#include <cctype>

#include "devicepath.h"

namespace serial {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsComName(std::string_view name) {
  if (name.size() < 4 || name.size() > 6) return false;
  const std::string_view number = name.substr(3);
  const bool com = std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                   std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                   std::toupper(static_cast<unsigned char>(name[2])) == 'M';
  return com && IsDigits(number) && number.front() != '0' && std::stoi(std::string(number)) <= 256;
}

}  // namespace

const char* const SerialDeviceNames = "COM1 a COM256 ou \\\\.\\COMn";

std::string CommDevicePath(std::string_view deviceName, const TEnvironmentLookup&) {
  if (deviceName.size() > kDevicePrefix.size() && deviceName.substr(0, kDevicePrefix.size()) == kDevicePrefix)
    return std::string(deviceName);
  if (IsComName(deviceName)) return std::string(kDevicePrefix) + "COM" + std::string(deviceName.substr(3));
  return {};
}

std::string PortDevice(std::string_view portName, std::string_view configured, const TEnvironmentLookup&) {
  return std::string(configured.empty() ? portName : configured);
}

}  // namespace serial
