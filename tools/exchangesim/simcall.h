// One call as the simulated exchange prints it, and its printed line.
#pragma once

#include <string>

#include "callrecord.h"

namespace exchangesim {

struct TSimCall {
  calls::TLocalDateTime When;
  std::string Trunk;          // two digits, "01"
  std::string Extension;      // left-aligned, "201"
  std::string Duration;       // hh:mm:ss, "00:01:23"
  std::string DialledNumber;  // left-aligned digits
  std::string PersonalCode;   // four digits, or four blanks when the call had none
};

// The call's line in the exchange's columns, without its line end. Values wider than their
// columns are cut; columns without a value stay blank.
std::string FormatCallLine(const TSimCall& call);

// What the exchange ends every line with.
inline constexpr const char* LineEnd = "\r\n";

}  // namespace exchangesim
