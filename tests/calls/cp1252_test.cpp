#include "cp1252.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct TByteCase {
  unsigned char Byte;
  const char* Utf8;
};

void PrintTo(const TByteCase& c, std::ostream* os) {
  *os << "byte " << static_cast<int>(c.Byte);
}

class Cp1252Byte : public testing::TestWithParam<TByteCase> {};

TEST_P(Cp1252Byte, BecomesItsCharacter) {
  const TByteCase c = GetParam();
  EXPECT_EQ(calls::Cp1252ToUtf8(std::string(1, static_cast<char>(c.Byte))), c.Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cp1252, Cp1252Byte,
    testing::Values(TByteCase{0x41, "A"}, TByteCase{0x20, " "}, TByteCase{0x09, "\t"},
                    TByteCase{0x7F, "\x7F"}, TByteCase{0x00, "\xEF\xBF\xBD"},  // NUL is noise
                    TByteCase{0x80, "\xE2\x82\xAC"},                           // euro sign
                    TByteCase{0x81, "\xEF\xBF\xBD"},                           // unassigned
                    TByteCase{0x8A, "\xC5\xA0"},                               // S caron
                    TByteCase{0x8D, "\xEF\xBF\xBD"}, TByteCase{0x8F, "\xEF\xBF\xBD"},
                    TByteCase{0x90, "\xEF\xBF\xBD"}, TByteCase{0x93, "\xE2\x80\x9C"},  // left double quote
                    TByteCase{0x99, "\xE2\x84\xA2"},                                   // trade mark
                    TByteCase{0x9D, "\xEF\xBF\xBD"}, TByteCase{0x9F, "\xC5\xB8"},      // Y diaeresis
                    TByteCase{0xA0, "\xC2\xA0"},                                       // no-break space
                    TByteCase{0xC3, "\xC3\x83"},                                       // A tilde
                    TByteCase{0xE7, "\xC3\xA7"},                                       // c cedilla
                    TByteCase{0xFF, "\xC3\xBF"}),
    [](const testing::TestParamInfo<TByteCase>& test) { return "Byte" + std::to_string(test.param.Byte); });

TEST(Cp1252Text, ConvertsEveryByteOfAPortugueseText) {
  EXPECT_EQ(calls::Cp1252ToUtf8("Liga\xE7\xE3o n\xE3o atendida \x96 R$ 5"),
            "Liga\xC3\xA7\xC3\xA3o n\xC3\xA3o atendida \xE2\x80\x93 R$ 5");
}

TEST(Cp1252Text, EmptyStaysEmpty) {
  EXPECT_EQ(calls::Cp1252ToUtf8(""), "");
}

// Every byte must give exactly one well-formed UTF-8 character, whatever arrives on the line.
TEST(Cp1252Text, EveryByteGivesOneWellFormedCharacter) {
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = calls::Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    ASSERT_FALSE(utf8.empty()) << b;
    const auto lead = static_cast<unsigned char>(utf8[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
    ASSERT_TRUE(lead < 0x80 || lead >= 0xC2) << b;
    ASSERT_EQ(utf8.size(), length) << b;
    for (std::size_t i = 1; i < utf8.size(); ++i)
      EXPECT_EQ(static_cast<unsigned char>(utf8[i]) & 0xC0, 0x80) << b;
  }
}

}  // namespace
