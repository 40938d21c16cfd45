#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "loopback.h"

namespace testsupport {

namespace {

constexpr std::intptr_t kNone = -1;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Ready(std::intptr_t socket, short events, std::chrono::milliseconds limit) {
  pollfd watched{static_cast<int>(socket), events, 0};
  return ::poll(&watched, 1, static_cast<int>(limit.count())) == 1;
}

void CloseSocket(std::intptr_t& socket) {
  if (socket != kNone) ::close(static_cast<int>(socket));
  socket = kNone;
}

}  // namespace

TLoopbackServer::TLoopbackServer(std::uint16_t port, int backlog) : FListener(kNone), FPeer(kNone), FFiller(kNone) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(port);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, backlog) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) ::close(fd);
    return;
  }
  FListener = fd;
  FPort = ntohs(address.sin_port);
}

bool TLoopbackServer::Accept(std::chrono::milliseconds limit) {
  if (FListener == kNone || !Ready(FListener, POLLIN, limit)) return false;
  ClosePeer();
  FPeer = ::accept4(static_cast<int>(FListener), nullptr, nullptr, SOCK_CLOEXEC);
  return FPeer >= 0;
}

bool TLoopbackServer::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (FPeer != kNone && sent < bytes.size()) {
    const ssize_t n = ::send(static_cast<int>(FPeer), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
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
  FFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(FPort);
  if (::connect(static_cast<int>(FFiller), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS)
    return false;
  return Ready(FFiller, POLLOUT, std::chrono::seconds(5));
}

}  // namespace testsupport
