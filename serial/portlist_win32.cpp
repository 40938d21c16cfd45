// Ports on Windows: each value of HARDWARE\DEVICEMAP\SERIALCOMM names a port's driver device
// ("\Device\Serial0", "\Device\VCP0") and holds its COM name.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "portlist.h"

namespace serial {

namespace {

struct TKind {
  const char* prefix;
  const char* description;
};
// By the driver device's name: the usual drivers of a board's UART and of USB adapters.
constexpr TKind kKinds[] = {
    {"Serial", "porta serial da placa"},   {"USBSER", "dispositivo USB (CDC-ACM)"},
    {"VCP", "adaptador USB-serial"},       {"Silabser", "adaptador USB-serial"},
    {"ProlificSerial", "adaptador USB-serial"},
};

std::string Describe(const std::string& driverDevice) {
  const std::string name = driverDevice.substr(driverDevice.find_last_of('\\') + 1);
  for (const TKind& kind : kKinds) {
    if (name.rfind(kind.prefix, 0) == 0) return std::string(kind.description) + " (" + name + ")";
  }
  return "porta serial (" + name + ")";
}

int ComNumber(const std::string& device) {
  return device.size() > 3 ? std::atoi(device.c_str() + 3) : 0;
}

}  // namespace

std::vector<TPortInfo> ListSerialPorts() {
  std::vector<TPortInfo> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[256];
    DWORD dataLength = sizeof data - 1;
    DWORD type = 0;
    const LONG result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength] = 0;
    ports.push_back({reinterpret_cast<const char*>(data), Describe(name)});
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end(),
            [](const TPortInfo& a, const TPortInfo& b) { return ComNumber(a.Device) < ComNumber(b.Device); });
  return ports;
}

}  // namespace serial
