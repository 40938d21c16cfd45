// The simulator program itself, writing to a pseudo-terminal it makes, read as a logger would.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "callgenerator.h"
#include "decodecallline.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ExchangeSimPty, BurstArrivesWholeAndDecodes) {
  const fs::path folder = fs::temp_directory_path() / ("exchangesim-test-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string pathFile = (folder / "pty-path").string();
  std::vector<std::string> args = {EXCHANGESIM_PATH, "--pty",  "--path-file", pathFile, "--count", "60",
                                   "--bitrate",      "256000", "--seed",      "9"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);

  // Generous waits: only a hung simulator gets near them.
  const auto until = std::chrono::steady_clock::now() + 20s;
  while (!fs::exists(pathFile) && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
  std::string path;
  std::getline(std::ifstream(pathFile), path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  // 60 lines of 82 bytes: more than the terminal's buffer holds, so the simulator waits for us.
  std::string bytes;
  while (fd >= 0 && bytes.size() < 60 * 82 && std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    char buffer[512];
    const ssize_t n = ::poll(&p, 1, 100) > 0 ? ::read(fd, buffer, sizeof buffer) : 0;
    if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::kill(pid, SIGTERM);
  int status = -1;
  ::waitpid(pid, &status, 0);
  if (fd >= 0) ::close(fd);
  const bool pathFileLeft = fs::exists(pathFile);  // it goes with the terminal
  fs::remove_all(folder);

  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(bytes.size(), 60u * 82u);
  exchangesim::TCallGenerator sameSeed(9);
  for (std::size_t i = 0; i < 60; ++i) {
    const std::string line = bytes.substr(i * 82, 82);
    ASSERT_TRUE(line.ends_with("\r\n")) << i;
    const auto record = calls::DecodeCallLine(line, 2026);
    ASSERT_TRUE(record) << line;
    const auto expected = sameSeed.Next(record->DATA);
    EXPECT_EQ(record->RAMA, expected.Extension) << i;
    EXPECT_EQ(record->NUME_DISC, expected.DialledNumber) << i;
    EXPECT_EQ(record->DURA, expected.Duration) << i;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(pathFileLeft);
}

TEST(ExchangeSimPty, RefusesABadOptionWithExitCode2) {
  const int status = std::system(EXCHANGESIM_PATH " --count zero 2>/dev/null");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
