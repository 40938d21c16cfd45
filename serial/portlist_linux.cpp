// Ports on Linux, found in /dev and described from sysfs, without opening any device: an open
// raises DTR on a real port and may disturb whoever holds it.
#include <algorithm>
#include <fstream>
#include <regex>
#include <system_error>
#include <tuple>

#include "portlist.h"

namespace serial {

namespace fs = std::filesystem;

namespace {

struct TKind {
  const char* prefix;
  const char* description;
};
// In the order they are listed.
constexpr TKind kKinds[] = {
    {"ttyUSB", "adaptador USB-serial"},
    {"ttyACM", "dispositivo USB (CDC-ACM)"},
    {"ttyS", "porta serial da placa"},
};

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Whether a ttyS port has a UART: sysfs gives the UART type (0 is PORT_UNKNOWN, no hardware); where it
// does not, a port bound to a driver is taken as real.
bool HasUart(const fs::path& sysTty) {
  std::error_code ignored;
  if (fs::exists(sysTty / "type", ignored)) return FirstLine(sysTty / "type") != "0";
  return fs::exists(sysTty / "device" / "driver", ignored);
}

// The USB product name above a tty's device in sysfs (the adapter's own name), or empty.
std::string UsbProduct(const fs::path& sysTty) {
  std::error_code error;
  fs::path at = fs::canonical(sysTty / "device", error);
  for (int level = 0; !error && level < 4 && at.has_relative_path(); ++level, at = at.parent_path()) {
    if (fs::exists(at / "product", error)) return FirstLine(at / "product");
  }
  return {};
}

// "usb-FTDI_FT232R_USB_UART_A10K-if00-port0" -> "FTDI FT232R USB UART A10K".
std::string StableNameText(const std::string& name) {
  static const std::regex kAround("^(usb|pci|platform)-|-if[0-9]+(-port[0-9]+)?$");
  std::string text = std::regex_replace(name, kAround, "");
  std::replace(text.begin(), text.end(), '_', ' ');
  return text;
}

std::vector<TPortInfo> StableNames(const fs::path& root) {
  std::vector<TPortInfo> ports;
  std::error_code error;
  for (const fs::directory_entry& link : fs::directory_iterator(root / "dev/serial/by-id", error)) {
    const std::string name = link.path().filename().string();
    const std::string target = fs::read_symlink(link.path(), error).filename().string();
    if (error) continue;
    ports.push_back({"/dev/serial/by-id/" + name, StableNameText(name) + " (" + target + ")"});
  }
  std::sort(ports.begin(), ports.end(), [](const TPortInfo& a, const TPortInfo& b) { return a.Device < b.Device; });
  return ports;
}

std::vector<TPortInfo> Ttys(const fs::path& root) {
  static const std::regex kTty("^(ttyUSB|ttyACM|ttyS)([0-9]+)$");
  struct TFound {
    std::size_t kind;
    int number;
    TPortInfo port;
  };
  std::vector<TFound> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(root / "dev", error)) {
    const std::string name = entry.path().filename().string();
    std::smatch match;
    if (!std::regex_match(name, match, kTty)) continue;
    const auto kind = static_cast<std::size_t>(
        std::find_if(std::begin(kKinds), std::end(kKinds), [&](const TKind& k) { return match[1] == k.prefix; }) -
        std::begin(kKinds));
    const int number = std::stoi(match[2]);
    const fs::path sysTty = root / "sys/class/tty" / name;
    std::string description = kKinds[kind].description;
    if (match[1] == "ttyS") {
      if (!HasUart(sysTty)) continue;
      // This program's own names for the first eight.
      if (number < 8) description += " (COM" + std::to_string(number + 1) + ")";
    } else if (const std::string product = UsbProduct(sysTty); !product.empty()) {
      description += ": " + product;
    }
    found.push_back({kind, number, {"/dev/" + name, description}});
  }
  std::sort(found.begin(), found.end(),
            [](const TFound& a, const TFound& b) { return std::tie(a.kind, a.number) < std::tie(b.kind, b.number); });
  std::vector<TPortInfo> ports;
  for (TFound& f : found) ports.push_back(std::move(f.port));
  return ports;
}

}  // namespace

std::vector<TPortInfo> ListSerialPortsUnder(const fs::path& root) {
  std::vector<TPortInfo> ports = StableNames(root);
  std::vector<TPortInfo> ttys = Ttys(root);
  ports.insert(ports.end(), ttys.begin(), ttys.end());
  return ports;
}

std::vector<TPortInfo> ListSerialPorts() {
  return ListSerialPortsUnder("/");
}

}  // namespace serial
