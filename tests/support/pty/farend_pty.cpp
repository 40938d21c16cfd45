// The far end on Linux: a pseudo-terminal whose slave LOGCHAMADAS_COM1 names for as long as it lives.
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

}  // namespace

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
