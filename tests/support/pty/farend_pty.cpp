// The far end on Linux: a pseudo-terminal whose slave a symbolic link points to for as long as it
// lives; LOGCHAMADAS_COM1 names the link, which stays at one path for the whole process.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <utility>

#include "farend.h"
#include "ptypair.h"

namespace testsupport {

namespace {

constexpr const char* kCom1Variable = "LOGCHAMADAS_COM1";

// The link's path: in a folder of this process's own, made once and removed at exit (the folder's
// name in plain storage, which outlives the static objects the exit handler would otherwise race).
char LinkFolder[32] = "/tmp/farend-XXXXXX";

const std::string& LinkPath() {
  static const std::string path = [] {
    if (::mkdtemp(LinkFolder) == nullptr) return std::string();
    std::atexit([] {
      ::unlink((std::string(LinkFolder) + "/com1").c_str());
      ::rmdir(LinkFolder);
    });
    return std::string(LinkFolder) + "/com1";
  }();
  return path;
}

// Points the link at target in one step, so an opener never finds it missing or half made.
bool PointLinkAt(const std::string& target) {
  const std::string fresh = LinkPath() + ".new";
  ::unlink(fresh.c_str());
  return ::symlink(target.c_str(), fresh.c_str()) == 0 && ::rename(fresh.c_str(), LinkPath().c_str()) == 0;
}

int LiveFarEnds = 0;

class TPtyFarEnd final : public TFarEnd {
 public:
  explicit TPtyFarEnd(std::unique_ptr<TPty> pty) : FPty(std::move(pty)) {
    ++LiveFarEnds;
    AwaitFarEnd();
  }
  ~TPtyFarEnd() override {
    // The line goes with its far end: the link leads nowhere until the next one, as an unplugged device.
    std::array<char, 256> target{};
    if (::readlink(LinkPath().c_str(), target.data(), target.size() - 1) > 0 && FPty->SlavePath() == target.data())
      ::unlink(LinkPath().c_str());
    if (--LiveFarEnds == 0) ::unsetenv(kCom1Variable);
  }

  bool Write(const std::string& bytes) override { return FPty->Write(bytes); }
  void Vanish() override { FPty->CloseMaster(); }

 private:
  std::unique_ptr<TPty> FPty;
};

class TPtyNearEndWatch final : public TNearEndWatch {
 public:
  explicit TPtyNearEndWatch(int fd) : FFd(fd) {}
  ~TPtyNearEndWatch() override { ::close(FFd); }
  TPtyNearEndWatch(const TPtyNearEndWatch&) = delete;
  TPtyNearEndWatch& operator=(const TPtyNearEndWatch&) = delete;

  int Waiting() override {
    int waiting = 0;
    return ::ioctl(FFd, FIONREAD, &waiting) == 0 ? waiting : -1;
  }

 private:
  int FFd;
};

}  // namespace

std::unique_ptr<TNearEndWatch> WatchNearEnd(std::string& error) {
  const char* path = std::getenv(kCom1Variable);
  const int fd = path == nullptr ? -1 : ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot open COM1's pseudo-terminal";
    return nullptr;
  }
  return std::make_unique<TPtyNearEndWatch>(fd);
}

TLineLimits LineLimits() { return {}; }

void AwaitFarEnd() {
  ::setenv(kCom1Variable, LinkPath().c_str(), 1);
}

std::unique_ptr<TFarEnd> MakeFarEnd(std::string& error) {
  auto pty = std::make_unique<TPty>();
  if (!pty->IsOpen()) {
    error = pty->Error();
    return nullptr;
  }
  if (LinkPath().empty() || !PointLinkAt(pty->SlavePath())) {
    error = "cannot link COM1's path to the pseudo-terminal";
    return nullptr;
  }
  return std::make_unique<TPtyFarEnd>(std::move(pty));
}

}  // namespace testsupport
