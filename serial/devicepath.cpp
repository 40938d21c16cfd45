// What both systems share of device names; the names themselves are in devicepath_posix.cpp and
// devicepath_win32.cpp.
#include <cstdlib>

#include "devicepath.h"

namespace serial {

namespace {

const char* ProcessVariable(const char* name) {
  return std::getenv(name);
}

const char* NoVariable(const char*) {
  return nullptr;
}

}  // namespace

std::string CommDevicePath(std::string_view deviceName) {
  return CommDevicePath(deviceName, ProcessVariable);
}

std::string PortDevice(std::string_view portName, std::string_view configured) {
  return PortDevice(portName, configured, ProcessVariable);
}

bool IsSerialDeviceName(std::string_view name) {
  return !CommDevicePath(name, NoVariable).empty();
}

}  // namespace serial
