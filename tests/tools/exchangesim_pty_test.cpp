// The simulator program itself, writing to a pseudo-terminal it makes, read as a logger would.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "callgenerator.h"
#include "decodecallline.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Generous: only a hung simulator gets near it.
constexpr auto Patience = 20s;

class ExchangeSimPty : public testing::Test {
 protected:
  void SetUp() override {
    FFolder = fs::temp_directory_path() / ("exchangesim-test-" + std::to_string(::getpid()));
    fs::create_directories(FFolder);
  }

  void TearDown() override {
    if (FPid > 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    if (FFd >= 0) ::close(FFd);
    fs::remove_all(FFolder);
  }

  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), EXCHANGESIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(::posix_spawn(&FPid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  }

  // The slave's path, once the simulator has written it.
  std::string WaitForPath(const fs::path& file) {
    const auto until = std::chrono::steady_clock::now() + Patience;
    while (!fs::exists(file) && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
    std::ifstream in(file);
    std::string path;
    std::getline(in, path);
    return path;
  }

  std::string ReadBytes(std::size_t count) {
    std::string bytes;
    const auto until = std::chrono::steady_clock::now() + Patience;
    while (bytes.size() < count && std::chrono::steady_clock::now() < until) {
      pollfd p{FFd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::read(FFd, buffer, sizeof buffer);
      if (n > 0) bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }

  int Stop() {
    ::kill(FPid, SIGTERM);
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path FFolder;
  pid_t FPid = -1;
  int FFd = -1;
};

TEST_F(ExchangeSimPty, BurstArrivesWholeAndDecodes) {
  const fs::path pathFile = FFolder / "pty-path";
  Start({"--pty", "--path-file", pathFile.string(), "--count", "60", "--bitrate", "256000", "--seed", "9"});
  const std::string path = WaitForPath(pathFile);
  ASSERT_FALSE(path.empty());
  FFd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(FFd, 0) << path;

  // 60 lines of 82 bytes: more than the terminal's buffer holds, so the simulator waits for us.
  const std::string bytes = ReadBytes(60 * 82);
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

  EXPECT_EQ(Stop(), 0);
  EXPECT_FALSE(fs::exists(pathFile)) << "the path file goes with the terminal";
}

TEST_F(ExchangeSimPty, RefusesABadOptionWithExitCode2) {
  Start({"--count", "zero"});
  int status = 0;
  ::waitpid(FPid, &status, 0);
  FPid = -1;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
