// A claim is a bound name in Linux's abstract socket namespace: no file to leave behind, and a second
// bind of the name fails, in this process or any other.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "lineclaim.h"

namespace capture {

namespace {

// A socket bound to the claim's name; -1 when the name is taken (or no socket can be had).
int Bind(const QString& line) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = ClaimName(line).toLatin1();
  std::memcpy(address.sun_path + 1, name.constData(), static_cast<std::size_t>(name.size()));
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return fd;
  ::close(fd);
  return -1;
}

}  // namespace

void TLineClaim::Take(const QString& line) {
  Release();
  FToken = Bind(line);
}

void TLineClaim::Release() {
  if (FToken >= 0) ::close(static_cast<int>(FToken));
  FToken = -1;
}

bool TLineClaim::Held(const QString& line) {
  const int fd = Bind(line);
  if (fd < 0) return true;
  ::close(fd);
  return false;
}

}  // namespace capture
