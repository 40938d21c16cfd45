#include <winsock2.h>
#include <ws2tcpip.h>

#include "loopback.h"

namespace testsupport {

namespace {

constexpr std::intptr_t kNone = -1;

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

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Whether the socket becomes readable (read) or writable within the limit.
bool Ready(std::intptr_t socket, bool read, std::chrono::milliseconds limit) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Native(socket), &set);
  timeval wait{static_cast<long>(limit.count() / 1000), static_cast<long>(limit.count() % 1000) * 1000};
  return select(0, read ? &set : nullptr, read ? nullptr : &set, nullptr, &wait) == 1;
}

void CloseSocket(std::intptr_t& socket) {
  if (socket != kNone) closesocket(Native(socket));
  socket = kNone;
}

}  // namespace

TLoopbackServer::TLoopbackServer(std::uint16_t port, int backlog) : FListener(kNone), FPeer(kNone), FFiller(kNone) {
  if (!Started()) return;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = Loopback(port);
  int length = sizeof address;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, backlog) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s != INVALID_SOCKET) closesocket(s);
    return;
  }
  FListener = static_cast<std::intptr_t>(s);
  FPort = ntohs(address.sin_port);
}

bool TLoopbackServer::Accept(std::chrono::milliseconds limit) {
  if (FListener == kNone || !Ready(FListener, true, limit)) return false;
  ClosePeer();
  const SOCKET s = accept(Native(FListener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return false;
  FPeer = static_cast<std::intptr_t>(s);
  return true;
}

bool TLoopbackServer::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (FPeer != kNone && sent < bytes.size()) {
    const int n = send(Native(FPeer), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return FPeer != kNone;
}

void TLoopbackServer::ClosePeer() {
  CloseSocket(FPeer);
}

void TLoopbackServer::StopListening() {
  CloseSocket(FListener);
  CloseSocket(FFiller);
}

bool TLoopbackServer::FillBacklog() {
  CloseSocket(FFiller);
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  FFiller = static_cast<std::intptr_t>(s);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  const sockaddr_in address = Loopback(FPort);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK)
    return false;
  return Ready(FFiller, false, std::chrono::seconds(5));
}

}  // namespace testsupport
