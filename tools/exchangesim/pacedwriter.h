// Writes at the speed of a serial line: BitRate / 10 bytes a second (a start bit, 8 data bits and
// a stop bit a byte), in slices of about 20 ms, never catching up on time the line stood idle.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace exchangesim {

class TPacedWriter {
 public:
  // Stops early, as if done, once *stop turns true.
  TPacedWriter(int fd, long bitRate, const std::atomic<bool>& stop);

  // False with the reason in error when the write fails.
  bool Write(std::string_view bytes, std::string& error);

  long long BytesSent() const { return FSent; }

 private:
  using TClock = std::chrono::steady_clock;

  int FFd;
  double FBytesPerSecond;
  std::size_t FSlice;
  const std::atomic<bool>& FStop;
  TClock::time_point FLineFree;
  long long FSent = 0;
};

// Sleeps until `until`, in short steps so a stop request is seen soon; false when stopped.
bool SleepUntil(std::chrono::steady_clock::time_point until, const std::atomic<bool>& stop);

}  // namespace exchangesim
