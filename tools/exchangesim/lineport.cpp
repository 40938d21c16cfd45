#include "lineport.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace exchangesim {

namespace {

struct TSpeed {
  long BitRate;
  speed_t Code;
};

constexpr std::array<TSpeed, 13> StandardSpeeds = {{{1200, B1200},
                                                    {2400, B2400},
                                                    {4800, B4800},
                                                    {9600, B9600},
                                                    {19200, B19200},
                                                    {38400, B38400},
                                                    {57600, B57600},
                                                    {115200, B115200},
                                                    {230400, B230400},
                                                    {460800, B460800},
                                                    {500000, B500000},
                                                    {921600, B921600},
                                                    {1000000, B1000000}}};

// Raw 8N1. A rate without a termios code keeps the device's speed; the simulator paces the bytes
// itself either way.
bool MakeRaw(int fd, long bitRate) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  for (const TSpeed& s : StandardSpeeds)
    if (s.BitRate == bitRate) cfsetspeed(&settings, s.Code);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::string Failed(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

TLinePort::~TLinePort() {
  if (FFd != STDOUT_FILENO) ::close(FFd);
  if (FKeptFd >= 0) ::close(FKeptFd);
}

std::unique_ptr<TLinePort> TLinePort::Stdout() {
  return std::unique_ptr<TLinePort>(new TLinePort(STDOUT_FILENO, -1, "standard output"));
}

std::unique_ptr<TLinePort> TLinePort::OpenDevice(const std::string& path, long bitRate, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = Failed("cannot open", path);
    return nullptr;
  }
  // Not a terminal (a file, a FIFO): written as it is.
  if (isatty(fd) && !MakeRaw(fd, bitRate)) {
    error = Failed("cannot set the line settings of", path);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TLinePort>(new TLinePort(fd, -1, path));
}

std::unique_ptr<TLinePort> TLinePort::OpenPty(long bitRate, std::string& error) {
  int master = -1;
  int slave = -1;
  std::array<char, 256> name{};
  if (openpty(&master, &slave, name.data(), nullptr, nullptr) != 0) {
    error = Failed("cannot make a pseudo-terminal", "");
    return nullptr;
  }
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  // A fresh slave is in line mode with echo; the exchange's line is raw.
  if (!MakeRaw(slave, bitRate)) {
    error = Failed("cannot set the line settings of", name.data());
    ::close(master);
    ::close(slave);
    return nullptr;
  }
  return std::unique_ptr<TLinePort>(new TLinePort(master, slave, name.data()));
}

}  // namespace exchangesim
