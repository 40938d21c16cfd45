// The serial ports this machine has, each with a description, for the operator choosing the line.
// Linux: the /dev/serial/by-id links (names that survive re-plugging and reboots), ttyUSB*, ttyACM*,
// and ttyS* only with a UART behind it (the kernel makes ttyS0..ttyS31 whether or not the port exists).
// Windows: the ports in the registry's HARDWARE\DEVICEMAP\SERIALCOMM. One file per system:
// portlist_linux.cpp, portlist_win32.cpp.
#pragma once

#include <string>
#include <vector>
#ifdef __linux__
#include <filesystem>
#endif

namespace serial {

struct TPortInfo {
  std::string Device;       // as the settings name it: "/dev/ttyUSB0", "COM3"
  std::string Description;  // in the operator's words

  friend bool operator==(const TPortInfo&, const TPortInfo&) = default;
};

// Stable names first, then by kind and number.
std::vector<TPortInfo> ListSerialPorts();

#ifdef __linux__
// The ports as found under root, a folder laid out like the system's /dev and /sys (tests give a made
// one); the devices are named as they would be at /.
std::vector<TPortInfo> ListSerialPortsUnder(const std::filesystem::path& root);
#endif

}  // namespace serial
