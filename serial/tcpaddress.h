// "tcp://HOST:PORT", the name of a line that arrives over TCP (a serial device server, or an exchange
// that serves its call lines on a port). HOST is a name, an IPv4 address or an IPv6 address in
// brackets; PORT is 1 to 65535.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace serial {

struct TTcpAddress {
  std::string Host;  // without brackets
  std::string Port;  // decimal, 1..65535
};

// Whether the name asks for TCP at all (its scheme is tcp://, in any case), well formed or not.
bool IsTcpName(std::string_view name);

// The host and port of a well-formed name; nothing when the host or port is missing or the port is
// out of range.
std::optional<TTcpAddress> ParseTcpAddress(std::string_view name);

}  // namespace serial
