// The far end on Linux: a pseudo-terminal whose slave LOGCHAMADAS_COM1 names for as long as it lives.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "farend.h"
#include "ptypair.h"

namespace testsupport {

namespace {

constexpr const char* kCom1Variable = "LOGCHAMADAS_COM1";

class TPtyFarEnd final : public TFarEnd {
 public:
  explicit TPtyFarEnd(std::unique_ptr<TPty> pty) : FPty(std::move(pty)) {
    ::setenv(kCom1Variable, FPty->SlavePath().c_str(), 1);
  }
  ~TPtyFarEnd() override { ::unsetenv(kCom1Variable); }

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

std::unique_ptr<TFarEnd> MakeFarEnd(std::string& error) {
  auto pty = std::make_unique<TPty>();
  if (!pty->IsOpen()) {
    error = pty->Error();
    return nullptr;
  }
  return std::make_unique<TPtyFarEnd>(std::move(pty));
}

}  // namespace testsupport
