// The comm layer over a Linux tty. Opens are exclusive (flock, plus TIOCEXCL on a real device, since
// POSIX opens are not), non-blocking and raw. Settings termios has no place for are remembered per
// handle so that GetState returns what SetState wrote.
#include <fcntl.h>
#include <linux/major.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "comm.h"
#include "devicepath.h"
#include "termios_line.h"

namespace serial {

namespace {

// What a freshly opened line reports beyond its termios: binary mode with DTR and RTS raised, as a
// Windows driver starts a port.
constexpr TLineSettings kFreshLine = [] {
  TLineSettings line;
  line.Flags = commflag::Binary | commflag::DtrControlEnable | commflag::RtsControlEnable;
  return line;
}();

int Descriptor(TCommHandle handle) {
  return static_cast<int>(handle);
}

bool ReadTermios(int fd, termios2& t) {
  return ::ioctl(fd, TCGETS2, &t) == 0;
}

// A pseudo-terminal's slave lives as long as its master is held (by socat, ser2net or a test): a
// TIOCEXCL left on it by a process that was killed would refuse every later open but root's. A real
// device's flag goes with its last descriptor.
bool IsPseudoTerminal(int fd) {
  struct stat device {};
  if (::fstat(fd, &device) != 0 || !S_ISCHR(device.st_mode)) return false;
  const unsigned int number = major(device.st_rdev);
  return number == PTY_SLAVE_MAJOR ||
         (number >= UNIX98_PTY_SLAVE_MAJOR && number < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT);
}

// Takes the device for this process alone and makes it raw; false when any step fails. The flock
// refuses every other program that locks its ports and goes with the process, however it ends.
bool Claim(int fd) {
  termios2 t{};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || (!IsPseudoTerminal(fd) && ::ioctl(fd, TIOCEXCL) != 0) ||
      !ReadTermios(fd, t))
    return false;
  MakeRaw(t);
  return ::ioctl(fd, TCSETS2, &t) == 0;
}

class TPosixCommLayer final : public TCommLayer {
 public:
  ~TPosixCommLayer() override {
    for (const auto& [fd, line] : FKept) Release(fd);
  }

  TCommHandle Open(const std::string& deviceName) override {
    const std::string path = CommDevicePath(deviceName);
    if (path.empty()) {
      FLastError = "no such port";
      FOpenFailure = TOpenFailure::ofMissing;
      return InvalidCommHandle;
    }
    // O_NONBLOCK: the open waits neither for carrier nor for a device that is slow to answer.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OpenFailed(), InvalidCommHandle;
    if (!Claim(fd)) {
      OpenFailed();
      ::close(fd);
      return InvalidCommHandle;
    }
    FKept[fd] = kFreshLine;
    return fd;
  }

  bool GetState(TCommHandle handle, TLineSettings& settings) override {
    termios2 t{};
    if (!ReadTermios(Descriptor(handle), t)) return Failed();
    settings = FromTermios(t, Kept(handle));
    return true;
  }

  bool SetState(TCommHandle handle, const TLineSettings& settings) override {
    const int fd = Descriptor(handle);
    termios2 t{};
    if (!ReadTermios(fd, t)) return Failed();
    if (!ToTermios(settings, t)) {
      FLastError = "o Linux não aceita esta configuração (5 a 8 bits de dados; 1,5 bit de parada só com 5)";
      return false;
    }
    if (::ioctl(fd, TCSETS2, &t) != 0) return Failed();
    FKept[fd] = settings;
    return true;
  }

  // A tty has no error state to clear: framing and parity errors arrive inline with the data.
  bool ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) override {
    int waiting = 0;
    if (::ioctl(Descriptor(handle), TIOCINQ, &waiting) != 0 || waiting < 0) return Failed();
    bytesWaiting = static_cast<std::uint32_t>(waiting);
    return true;
  }

  bool Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
    bytesRead = 0;
    while (bytesRead < count) {
      const ssize_t got = ::read(Descriptor(handle), buffer + bytesRead, count - bytesRead);
      if (got > 0) {
        bytesRead += static_cast<std::uint32_t>(got);
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else if (got < 0 && errno == EAGAIN) {
        return true;  // fewer than counted (the driver swallowed flow-control bytes): nothing is wrong
      } else {
        // A tty reads 0 only once its far side hung up.
        if (got == 0) errno = EIO;
        return Failed();
      }
    }
    return true;
  }

  // Reads and writes are synchronous, so there is never a pending one to abort: clearing is all.
  bool Purge(TCommHandle handle, std::uint32_t flags) override {
    const bool input = (flags & (purge::RxAbort | purge::RxClear)) != 0;
    const bool output = (flags & (purge::TxAbort | purge::TxClear)) != 0;
    if (!input && !output) return true;
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ::ioctl(Descriptor(handle), TCFLSH, queue) == 0;
  }

  bool Close(TCommHandle handle) override {
    const int fd = Descriptor(handle);
    if (FKept.erase(fd) == 0) return false;
    return Release(fd);
  }

  // Real UARTs and most USB adapters count; a pseudo-terminal answers ENOTTY: no counts, no fault.
  bool LineErrors(TCommHandle handle, TLineErrors& counts) override {
    serial_icounter_struct icount{};
    if (::ioctl(Descriptor(handle), TIOCGICOUNT, &icount) != 0) return false;
    counts = {static_cast<std::uint32_t>(icount.frame), static_cast<std::uint32_t>(icount.parity),
              static_cast<std::uint32_t>(icount.overrun + icount.buf_overrun), static_cast<std::uint32_t>(icount.brk)};
    return true;
  }

  std::string LastErrorText() const override { return FLastError; }
  TOpenFailure LastOpenFailure() const override { return FOpenFailure; }

  std::string Describe(const std::string& deviceName) const override {
    const std::string path = CommDevicePath(deviceName);
    return path.empty() || path == deviceName ? deviceName : deviceName + " (" + path + ")";
  }

 private:
  // Another opener of the same tty must not find it still exclusive; the lock goes with the descriptor.
  static bool Release(int fd) {
    ::ioctl(fd, TIOCNXCL);
    return ::close(fd) == 0;
  }

  // Notes errno's text; false, for the caller to return.
  bool Failed() {
    FLastError = std::strerror(errno);
    return false;
  }

  // Notes errno's text and what it says of the device: TIOCEXCL makes another opener fail with
  // EBUSY, and the lock of another process fails with EWOULDBLOCK.
  void OpenFailed() {
    switch (errno) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
        FOpenFailure = TOpenFailure::ofMissing;
        break;
      case EBUSY:
      case EWOULDBLOCK:
        FOpenFailure = TOpenFailure::ofHeld;
        break;
      case EACCES:
      case EPERM:
        FOpenFailure = TOpenFailure::ofDenied;
        break;
      default:
        FOpenFailure = TOpenFailure::ofOther;
    }
    Failed();
  }

  const TLineSettings& Kept(TCommHandle handle) const {
    const auto found = FKept.find(Descriptor(handle));
    return found != FKept.end() ? found->second : kFreshLine;
  }

  std::map<int, TLineSettings> FKept;
  std::string FLastError;
  TOpenFailure FOpenFailure = TOpenFailure::ofOther;
};

}  // namespace

std::unique_ptr<TCommLayer> MakeSystemCommLayer() {
  return std::make_unique<TPosixCommLayer>();
}

}  // namespace serial
