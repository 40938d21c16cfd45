#include "pacedwriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace exchangesim {

bool SleepUntil(std::chrono::steady_clock::time_point until, const std::atomic<bool>& stop) {
  constexpr auto Step = std::chrono::milliseconds(50);
  while (!stop) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, Step));
  }
  return false;
}

TPacedWriter::TPacedWriter(int fd, long bitRate, const std::atomic<bool>& stop)
    : FFd(fd),
      FBytesPerSecond(static_cast<double>(bitRate) / 10.0),
      FSlice(std::max<std::size_t>(1, static_cast<std::size_t>(FBytesPerSecond / 50.0))),
      FStop(stop),
      FLineFree(TClock::now()) {}

bool TPacedWriter::Write(std::string_view bytes, std::string& error) {
  while (!bytes.empty()) {
    FLineFree = std::max(FLineFree, TClock::now());
    if (!SleepUntil(FLineFree, FStop)) return true;
    const std::size_t size = std::min(bytes.size(), FSlice);
    const ssize_t written = ::write(FFd, bytes.data(), size);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = std::string("write failed: ") + std::strerror(errno);
      return false;
    }
    const auto count = static_cast<std::size_t>(written);
    bytes.remove_prefix(count);
    FSent += static_cast<long long>(count);
    FLineFree += std::chrono::duration_cast<TClock::duration>(
        std::chrono::duration<double>(static_cast<double>(count) / FBytesPerSecond));
  }
  return true;
}

}  // namespace exchangesim
