#include "cp1252.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using namespace std::literals;

TEST(Cp1252Text, BytesBecomeTheirCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"A \t\x7F", "A \t\x7F"},
      {"\0"s, "\xEF\xBF\xBD"},  // NUL is noise
      // euro sign, S caron, left double quote, trade mark, Y diaeresis
      {"\x80\x8A\x93\x99\x9F", "\xE2\x82\xAC\xC5\xA0\xE2\x80\x9C\xE2\x84\xA2\xC5\xB8"},
      // unassigned: the control characters of the same value, as Windows decodes them
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"\xA0\xC3\xFF", "\xC2\xA0\xC3\x83\xC3\xBF"},  // no-break space, A tilde, y diaeresis
      {"Liga\xE7\xE3o n\xE3o atendida \x96 R$ 5",
       "Liga\xC3\xA7\xC3\xA3o n\xC3\xA3o atendida \xE2\x80\x93 R$ 5"},
  };
  for (const auto& [bytes, utf8] : cases) EXPECT_EQ(calls::Cp1252ToUtf8(bytes), utf8) << bytes;
}

// Every byte must give exactly one well-formed UTF-8 character, whatever arrives on the line.
TEST(Cp1252Text, EveryByteGivesOneWellFormedCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = calls::Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    ASSERT_FALSE(utf8.empty()) << b;
    const auto lead = static_cast<unsigned char>(utf8[0]);
    ASSERT_TRUE(lead < 0x80 || lead >= 0xC2) << b;
    ASSERT_EQ(utf8.size(), lead < 0x80 ? 1u : lead >= 0xE0 ? 3u : 2u) << b;
    for (std::size_t i = 1; i < utf8.size(); ++i)
      EXPECT_EQ(static_cast<unsigned char>(utf8[i]) & 0xC0, 0x80) << b;
  }
}

}  // namespace
