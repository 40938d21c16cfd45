#include <winsock2.h>
#include <ws2tcpip.h>

#include "loopback_system.h"

namespace testsupport::loopback {

namespace {

SOCKET Native(std::intptr_t socket) {
  return static_cast<SOCKET>(socket);
}

bool Started() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

std::intptr_t Listen(std::uint16_t& port, int backlog) {
  const SOCKET s = Started() ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  if (s == INVALID_SOCKET) return NoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, backlog) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return NoSocket;
  }
  port = ntohs(address.sin_port);
  return static_cast<std::intptr_t>(s);
}

std::intptr_t AcceptOne(std::intptr_t listener, std::chrono::milliseconds limit) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(listener), &readable);
  timeval wait{static_cast<long>(limit.count() / 1000), static_cast<long>(limit.count() % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &wait) != 1) return NoSocket;
  const SOCKET peer = accept(Native(listener), nullptr, nullptr);
  return peer != INVALID_SOCKET ? static_cast<std::intptr_t>(peer) : NoSocket;
}

long SendSome(std::intptr_t socket, const char* bytes, std::size_t size) {
  return send(Native(socket), bytes, static_cast<int>(size), 0);
}

void CloseSocket(std::intptr_t socket) {
  closesocket(Native(socket));
}

}  // namespace testsupport::loopback
