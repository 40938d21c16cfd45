// What both systems share of sockets: name lookup, and the operator's words for a failure.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cstring>

#include "netsocket.h"
#include "netsocket_system.h"

namespace serial::net {

static_assert(sizeof(sockaddr_storage) <= sizeof(TAddress::Bytes));

std::string Reason(int code) {
  const std::span<const TFailureCode> codes = FailureCodes();
  const auto found = std::find_if(codes.begin(), codes.end(), [code](const TFailureCode& c) { return c.Code == code; });
  switch (found == codes.end() ? TFailure::Other : found->Failure) {
    case TFailure::Refused:
      return "conexão recusada";
    case TFailure::Unreachable:
      return "rede ou máquina inalcançável";
    case TFailure::NoAnswer:
      return "sem resposta";
    case TFailure::Reset:
      return "conexão interrompida pela outra ponta";
    case TFailure::Other:
      break;
  }
  return "erro de rede " + std::to_string(code);
}

bool Resolve(const std::string& host, const std::string& port, bool numericOnly, std::vector<TAddress>& addresses,
             std::string& error) {
  if (!SocketsReady(error)) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
  addrinfo* found = nullptr;
  if (const int result = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); result != 0) {
    error = "nome não encontrado: " + host + " (erro " + std::to_string(result) + ")";
    return false;
  }
  addresses.clear();
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    TAddress address;
    std::memcpy(address.Bytes.data(), a->ai_addr, a->ai_addrlen);
    address.Length = static_cast<int>(a->ai_addrlen);
    address.Family = a->ai_family;
    addresses.push_back(address);
  }
  freeaddrinfo(found);
  return !addresses.empty();
}

}  // namespace serial::net
