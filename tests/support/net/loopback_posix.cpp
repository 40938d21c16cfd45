#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "loopback_system.h"

namespace testsupport::loopback {

std::intptr_t Listen(std::uint16_t& port, int backlog) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return NoSocket;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return NoSocket;
  }
  port = ntohs(address.sin_port);
  return fd;
}

std::intptr_t AcceptOne(std::intptr_t listener, std::chrono::milliseconds limit) {
  pollfd waiting{static_cast<int>(listener), POLLIN, 0};
  if (::poll(&waiting, 1, static_cast<int>(limit.count())) != 1) return NoSocket;
  const int peer = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return peer >= 0 ? peer : NoSocket;
}

long SendSome(std::intptr_t socket, const char* bytes, std::size_t size) {
  ssize_t n = 0;
  do {
    n = ::send(static_cast<int>(socket), bytes, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

void CloseSocket(std::intptr_t socket) {
  ::close(static_cast<int>(socket));
}

}  // namespace testsupport::loopback
