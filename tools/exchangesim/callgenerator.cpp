#include "callgenerator.h"

#include <array>
#include <cstdio>
#include <string>

namespace exchangesim {

namespace {

std::string Printf(const char* format, int a, int b = 0, int c = 0) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), format, a, b, c);
  return text.data();
}

}  // namespace

int TCallGenerator::Between(int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(FRandom);
}

std::string TCallGenerator::Digits(int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + Between(0, 9));
  return digits;
}

std::string TCallGenerator::DialledNumber() {
  static constexpr std::array<const char*, 4> Carriers = {"15", "21", "31", "41"};
  static constexpr std::array<const char*, 6> AreaCodes = {"11", "19", "21", "31", "41", "51"};
  static constexpr std::array<const char*, 4> Emergency = {"190", "192", "193", "199"};
  const int kind = Between(0, 99);
  if (kind < 45) return std::to_string(Between(2, 5)) + Digits(7);  // local landline
  if (kind < 75) return "9" + Digits(8);                            // local mobile
  if (kind < 97) {
    const bool mobile = Between(0, 1) == 1;
    return std::string("0") + Carriers[static_cast<std::size_t>(Between(0, 3))] +
           AreaCodes[static_cast<std::size_t>(Between(0, 5))] + (mobile ? "9" + Digits(8) : Digits(8));
  }
  return Emergency[static_cast<std::size_t>(Between(0, 3))];
}

TSimCall TCallGenerator::Next(const calls::TLocalDateTime& now) {
  TSimCall call;
  call.When = now;
  call.Trunk = Printf("%02d", Between(1, 12));
  call.Extension =
      Between(0, 3) == 0 ? std::to_string(Between(2000, 2099)) : std::to_string(Between(200, 299));
  // Most conversations are short; a few run long.
  const int seconds = Between(0, 9) == 0 ? Between(600, 7200) : Between(3, 300);
  call.Duration = Printf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
  call.DialledNumber = DialledNumber();
  call.PersonalCode = Between(0, 4) == 0 ? Digits(4) : "    ";
  return call;
}

}  // namespace exchangesim
