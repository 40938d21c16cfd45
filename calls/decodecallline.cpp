#include "decodecallline.h"

#include <cstddef>
#include <string>

#include "calllayout.h"
#include "cp1252.h"

namespace calls {

namespace {

// Values taken as printed must fit their stored width without a cut.
static_assert(CallLine.Duration.Width <= DuraWidth);
static_assert(CallLine.PersonalCode.Width <= SenhWidth);
static_assert(CallLine.Trunk.Width <= TronWidth);

// Taken as a bounded copy: columns past the end of the text give the empty text, a run that passes
// the end is cut there. The text's length as a whole is never checked.
std::string_view Take(std::string_view line, TColumns columns) {
  const auto start = static_cast<std::size_t>(columns.First - 1);
  if (start >= line.size()) return {};
  return line.substr(start, static_cast<std::size_t>(columns.Width));
}

// Blanks before or after the digits are skipped (" 5" and "5 " read 5); a sign, any other
// character, or a field without a digit fails. A field cut short by the end of the text fails too,
// so a line shorter than the date and time never converts.
std::optional<int> ReadNumber(std::string_view line, TColumns columns) {
  const std::string_view field = Take(line, columns);
  if (field.size() != static_cast<std::size_t>(columns.Width)) return std::nullopt;
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t last = field.find_last_not_of(' ');
  int value = 0;
  for (std::size_t i = first; i <= last; ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The exchange prints two year digits; they name a year in the hundred years starting fifty years
// before the current one.
int PlaceYear(int twoDigits, int currentYear) {
  const int base = currentYear - 50;
  const int year = twoDigits + base / 100 * 100;
  return year < base ? year + 100 : year;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// The separators the exchange prints between the date and time values are never looked at.
std::optional<TLocalDateTime> ReadDateTime(std::string_view line, int currentYear) {
  const auto day = ReadNumber(line, CallLine.Day);
  const auto month = ReadNumber(line, CallLine.Month);
  const auto year = ReadNumber(line, CallLine.Year);
  const auto hour = ReadNumber(line, CallLine.Hour);
  const auto minute = ReadNumber(line, CallLine.Minute);
  const auto second = ReadNumber(line, CallLine.Second);
  if (!day || !month || !year || !hour || !minute || !second) return std::nullopt;

  const TLocalDateTime when{PlaceYear(*year, currentYear), *month, *day, *hour, *minute, *second};
  if (when.Month < 1 || when.Month > 12) return std::nullopt;
  if (when.Day < 1 || when.Day > DaysInMonth(when.Year, when.Month)) return std::nullopt;
  if (when.Hour > 23 || when.Minute > 59 || when.Second > 59) return std::nullopt;
  return when;
}

// Blanks and control characters (codes up to 32) are removed from both ends.
std::string_view Trim(std::string_view text) {
  const auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Cut on the single-byte text, before conversion, so the width counts characters.
std::string TextOf(std::string_view bytes, int width) {
  return Cp1252ToUtf8(bytes.substr(0, static_cast<std::size_t>(width)));
}

}  // namespace

std::optional<TCallRecord> DecodeCallLine(std::string_view line, int currentYear) {
  const auto when = ReadDateTime(line, currentYear);
  if (!when) return std::nullopt;

  TCallRecord record;
  record.DATA = *when;
  record.RAMA = TextOf(Trim(Take(line, CallLine.Extension)), RamaWidth);
  record.NUME_DISC = TextOf(Trim(Take(line, CallLine.DialledNumber)), NumeDiscWidth);
  record.DURA = Cp1252ToUtf8(Take(line, CallLine.Duration));
  record.SENH = Cp1252ToUtf8(Take(line, CallLine.PersonalCode));
  record.TRON = Cp1252ToUtf8(Take(line, CallLine.Trunk));
  return record;
}

}  // namespace calls
