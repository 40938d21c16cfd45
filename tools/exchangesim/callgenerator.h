// Calls that look like a small office's: a dozen trunks, extensions in the 200s and 2000s, short
// and long conversations, local, mobile, long-distance and emergency numbers, now and then a
// personal code. The same seed gives the same calls.
#pragma once

#include <cstdint>
#include <random>

#include "simcall.h"

namespace exchangesim {

class TCallGenerator {
 public:
  explicit TCallGenerator(std::uint32_t seed) : FRandom(seed) {}

  // A call that ended at `now`.
  TSimCall Next(const calls::TLocalDateTime& now);

 private:
  int Between(int low, int high);
  std::string Digits(int count);
  std::string DialledNumber();

  std::mt19937 FRandom;
};

}  // namespace exchangesim
