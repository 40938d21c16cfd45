// Where the simulator's bytes go: standard output, a serial device, or a pseudo-terminal it makes.
#pragma once

#include <memory>
#include <string>

namespace exchangesim {

class TLinePort {
 public:
  TLinePort(const TLinePort&) = delete;
  TLinePort& operator=(const TLinePort&) = delete;
  ~TLinePort();

  static std::unique_ptr<TLinePort> Stdout();
  // Null with the reason in error when the device does not open.
  static std::unique_ptr<TLinePort> OpenDevice(const std::string& path, long bitRate, std::string& error);
  // A raw pseudo-terminal. The simulator keeps its slave side open too, so a logger may close and
  // open it again without the line hanging up.
  static std::unique_ptr<TLinePort> OpenPty(long bitRate, std::string& error);

  int Fd() const { return FFd; }
  // The path a logger opens (the slave's, for a pseudo-terminal).
  const std::string& Path() const { return FPath; }

 private:
  TLinePort(int fd, int keptFd, std::string path) : FFd(fd), FKeptFd(keptFd), FPath(std::move(path)) {}

  int FFd;
  int FKeptFd;  // the pseudo-terminal's slave, or -1
  std::string FPath;
};

}  // namespace exchangesim
