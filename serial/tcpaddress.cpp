#include "tcpaddress.h"

#include <algorithm>
#include <cctype>

namespace serial {

namespace {

constexpr std::string_view kScheme = "tcp://";

bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.front() == '0') return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return std::stoul(std::string(text)) <= 65535;
}

bool IsHost(std::string_view text) {
  return !text.empty() &&
         std::none_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) || c == '/'; });
}

}  // namespace

bool IsTcpName(std::string_view name) {
  return name.size() >= kScheme.size() &&
         std::equal(kScheme.begin(), kScheme.end(), name.begin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::optional<TTcpAddress> ParseTcpAddress(std::string_view name) {
  if (!IsTcpName(name)) return std::nullopt;
  const std::string_view rest = name.substr(kScheme.size());
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = rest.substr(0, colon);
  const std::string_view port = rest.substr(colon + 1);
  // An IPv6 address has colons of its own, so it comes in brackets; a bare one is refused.
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  } else if (host.find_first_of("[]:") != std::string_view::npos) {
    return std::nullopt;
  }
  if (!IsHost(host) || !IsPort(port)) return std::nullopt;
  return TTcpAddress{std::string(host), std::string(port)};
}

}  // namespace serial
