// Sockets on Linux: non-blocking descriptors, poll for a connect's progress, FIONREAD for the count.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "netsocket.h"

namespace serial::net {

static_assert(sizeof(sockaddr_storage) <= sizeof(TAddress::Bytes));

namespace {

// A dead peer behind a silent line (an exchange is quiet all night) is noticed after about two
// minutes instead of the system's two hours.
constexpr int kKeepIdleSeconds = 60;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepCount = 5;

std::string Reason(int code) {
  switch (code) {
    case ECONNREFUSED:
      return "conexão recusada";
    case ENETUNREACH:
    case EHOSTUNREACH:
      return "rede ou máquina inalcançável";
    case ETIMEDOUT:
      return "sem resposta";
    case ECONNRESET:
      return "conexão interrompida pela outra ponta";
    default:
      return "erro de rede " + std::to_string(code) + " (" + std::strerror(code) + ")";
  }
}

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

bool Resolve(const std::string& host, const std::string& port, bool numericOnly, std::vector<TAddress>& addresses,
             std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (result != 0) {
    error = "nome não encontrado: " + host + " (" + ::gai_strerror(result) + ")";
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
  ::freeaddrinfo(found);
  return !addresses.empty();
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
