#include "simcall.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "calllayout.h"

namespace exchangesim {

namespace {

void Put(std::string& line, calls::TColumns columns, std::string_view text) {
  const auto width = std::min(text.size(), static_cast<std::size_t>(columns.Width));
  line.replace(static_cast<std::size_t>(columns.First - 1), width, text.substr(0, width));
}

std::string TwoDigits(int value) {
  const int v = ((value % 100) + 100) % 100;
  return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

}  // namespace

std::string FormatCallLine(const TSimCall& call) {
  using calls::CallLine;
  std::string line(static_cast<std::size_t>(CallLine.PrintedWidth), ' ');
  Put(line, CallLine.Day, TwoDigits(call.When.Day));
  Put(line, CallLine.DateSeparator1, "/");
  Put(line, CallLine.Month, TwoDigits(call.When.Month));
  Put(line, CallLine.DateSeparator2, "/");
  Put(line, CallLine.Year, TwoDigits(call.When.Year));
  Put(line, CallLine.Hour, TwoDigits(call.When.Hour));
  Put(line, CallLine.TimeSeparator1, ":");
  Put(line, CallLine.Minute, TwoDigits(call.When.Minute));
  Put(line, CallLine.TimeSeparator2, ":");
  Put(line, CallLine.Second, TwoDigits(call.When.Second));
  Put(line, CallLine.Trunk, call.Trunk);
  Put(line, CallLine.Extension, call.Extension);
  Put(line, CallLine.Duration, call.Duration);
  Put(line, CallLine.DialledNumber, call.DialledNumber);
  Put(line, CallLine.PersonalCode, call.PersonalCode);
  return line;
}

}  // namespace exchangesim
