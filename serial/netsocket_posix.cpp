// Sockets on Linux: non-blocking descriptors, poll for a connect's progress, FIONREAD for the count.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "netsocket.h"
#include "netsocket_system.h"

namespace serial::net {

namespace {

// A dead peer behind a silent line (an exchange is quiet all night) is noticed after about two
// minutes instead of the system's two hours.
constexpr int kKeepIdleSeconds = 60;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepCount = 5;

constexpr TFailureCode kFailureCodes[] = {{ECONNREFUSED, TFailure::Refused},   {ENETUNREACH, TFailure::Unreachable},
                                           {EHOSTUNREACH, TFailure::Unreachable}, {ETIMEDOUT, TFailure::NoAnswer},
                                           {ECONNRESET, TFailure::Reset}};

int Descriptor(TSocket socket) {
  return static_cast<int>(socket);
}

void KeepAlive(int fd) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds, sizeof kKeepIntervalSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepCount, sizeof kKeepCount);
}

}  // namespace

std::span<const TFailureCode> FailureCodes() {
  return kFailureCodes;
}

bool SocketsReady(std::string&) {
  return true;
}

TSocket StartConnect(const TAddress& address, std::string& error) {
  const int fd = ::socket(address.Family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = Reason(errno);
    return NoSocket;
  }
  KeepAlive(fd);
  const auto* target = reinterpret_cast<const sockaddr*>(address.Bytes.data());
  if (::connect(fd, target, static_cast<socklen_t>(address.Length)) != 0 && errno != EINPROGRESS) {
    error = Reason(errno);
    ::close(fd);
    return NoSocket;
  }
  return fd;
}

TConnectProgress ConnectProgress(TSocket socket, std::string& error) {
  pollfd watched{Descriptor(socket), POLLOUT, 0};
  if (::poll(&watched, 1, 0) == 0) return TConnectProgress::Pending;
  int code = 0;
  socklen_t length = sizeof code;
  if (::getsockopt(Descriptor(socket), SOL_SOCKET, SO_ERROR, &code, &length) != 0) code = errno;
  if (code == 0) return TConnectProgress::Connected;
  error = Reason(code);
  return TConnectProgress::Failed;
}

bool BytesWaiting(TSocket socket, std::uint32_t& count, std::string& error) {
  int waiting = 0;
  if (::ioctl(Descriptor(socket), FIONREAD, &waiting) != 0 || waiting < 0) {
    error = Reason(errno);
    return false;
  }
  count = static_cast<std::uint32_t>(waiting);
  return true;
}

TReceived Receive(TSocket socket, char* buffer, std::uint32_t count, bool peek, std::uint32_t& got,
                  std::string& error) {
  got = 0;
  for (;;) {
    const ssize_t n = ::recv(Descriptor(socket), buffer, count, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
    if (n > 0) {
      got = static_cast<std::uint32_t>(n);
      return TReceived::Bytes;
    }
    if (n == 0) return TReceived::PeerClosed;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return TReceived::Nothing;
    error = Reason(errno);
    return TReceived::Failed;
  }
}

void Close(TSocket socket) {
  ::close(Descriptor(socket));
}

}  // namespace serial::net
