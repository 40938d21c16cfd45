#include "ptypair.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testsupport {

TPty::TPty() {
  char path[256] = {};
  if (::openpty(&FMaster, &FSlave, path, nullptr, nullptr) != 0) {
    FError = std::string("openpty: ") + std::strerror(errno);
    FMaster = FSlave = -1;
    return;
  }
  FSlavePath = path;
  // A fresh slave is in line mode with echo: it would hold back lines and answer every byte.
  termios t = SlaveTermios();
  ::cfmakeraw(&t);
  ::tcsetattr(FSlave, TCSANOW, &t);
}

TPty::~TPty() {
  CloseMaster();
  if (FSlave >= 0) ::close(FSlave);
}

bool TPty::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (FMaster >= 0 && done < bytes.size()) {
    const ssize_t put = ::write(FMaster, bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno != EINTR) {
      return false;
    }
  }
  return FMaster >= 0;
}

void TPty::CloseMaster() {
  if (FMaster < 0) return;
  ::close(FMaster);
  FMaster = -1;
}

termios TPty::SlaveTermios() const {
  termios t{};
  ::tcgetattr(FSlave, &t);
  return t;
}

}  // namespace testsupport
