// The exchange prints single-byte Windows-1252 text; the rest of the system holds UTF-8. This is
// the one conversion between them.
#pragma once

#include <string>
#include <string_view>

namespace calls {

// The Unicode code point of one Windows-1252 byte. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) give the control characters of the same value, as Windows itself
// decodes them: a Windows-1252 column then keeps the same byte and a Unicode one that character, so a
// call looked up after a lost commit is found as stored. The zero byte gives U+FFFD: a NUL inside a
// stored text is refused by PostgreSQL and cuts C strings short.
char16_t Cp1252ToUnicode(unsigned char byte);

// The UTF-8 text of Windows-1252 bytes; one character per byte, so widths counted on the bytes
// are widths in characters.
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace calls
