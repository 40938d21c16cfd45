// libFuzzer target: any bytes on the line must give a sound record or none, never a crash or a read
// out of bounds. The first byte picks the current year, so the year window moves too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cp1252.h"
#include "decodecallline.h"

namespace {

// Counts the code points of well-formed UTF-8; aborts on anything else.
std::size_t CodePoints(const std::string& utf8) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead >= 0xF0 || i + length > utf8.size()) std::abort();
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) std::abort();
    i += length;
  }
  return count;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int currentYear = 1900 + data[0];
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

  Check(CodePoints(calls::Cp1252ToUtf8(line)) == line.size());

  const auto record = calls::DecodeCallLine(line, currentYear);
  if (!record) return 0;
  Check(line.size() >= 16);
  const calls::TLocalDateTime& when = record->DATA;
  Check(when.Year >= currentYear - 50 && when.Year <= currentYear + 49);
  Check(when.Month >= 1 && when.Month <= 12 && when.Day >= 1 && when.Day <= 31);
  Check(when.Hour >= 0 && when.Hour <= 23 && when.Minute >= 0 && when.Minute <= 59);
  Check(when.Second >= 0 && when.Second <= 59);
  Check(CodePoints(record->RAMA) <= calls::RamaWidth);
  Check(CodePoints(record->NUME_DISC) <= calls::NumeDiscWidth);
  Check(CodePoints(record->DURA) <= 8 && CodePoints(record->SENH) <= 4 && CodePoints(record->TRON) <= 2);
  Check(!record->TIPO.has_value());
  return 0;
}
