// Decoding of the exchange's fixed-column call line into a call record.
#pragma once

#include <optional>
#include <string_view>

#include "callrecord.h"

namespace calls {

// The line's bytes are Windows-1252 text. currentYear places the two-digit year in the window
// [currentYear - 50, currentYear + 49]. No record when the date and time do not convert.
std::optional<TCallRecord> DecodeCallLine(std::string_view line, int currentYear);

}  // namespace calls
