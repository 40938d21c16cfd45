// One call as the host system's TBCALL table holds it. Text is Unicode (UTF-8); the exchange's
// single-byte text is converted once, when the line is decoded.
#pragma once

#include <compare>
#include <optional>
#include <string>

namespace calls {

// A local date and time without time zone, to the second.
struct TLocalDateTime {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;

  friend auto operator<=>(const TLocalDateTime&, const TLocalDateTime&) = default;
};

struct TCallRecord {
  TLocalDateTime DATA;
  std::string RAMA;       // extension, at most 4 characters
  std::string NUME_DISC;  // dialled number, at most 20 characters
  std::string DURA;       // duration as the exchange printed it
  std::string SENH;       // personal code of the call
  std::string TRON;       // trunk as the exchange printed it
  std::optional<std::string> TIPO;  // never set by the logger: stored as null

  friend bool operator==(const TCallRecord&, const TCallRecord&) = default;
};

// Stored widths of the text columns, in characters.
inline constexpr int RamaWidth = 4;
inline constexpr int TronWidth = 11;
inline constexpr int DuraWidth = 15;
inline constexpr int SenhWidth = 10;
inline constexpr int TipoWidth = 1;
inline constexpr int NumeDiscWidth = 20;

}  // namespace calls
