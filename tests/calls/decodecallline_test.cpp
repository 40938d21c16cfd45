#include "decodecallline.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace calls {
void PrintTo(const TLocalDateTime& t, std::ostream* os) {
  *os << t.Year << '-' << t.Month << '-' << t.Day << ' ' << t.Hour << ':' << t.Minute << ':' << t.Second;
}
}  // namespace calls

namespace {

using namespace std::literals;
using calls::DecodeCallLine;
using calls::TLocalDateTime;

constexpr int ThisYear = 2026;

template <typename TCase>
std::string NameOf(const testing::TestParamInfo<TCase>& test) {
  return test.param.Name;
}

// One line as the exchange prints it, 80 columns.
const std::string Typical =
    "09/12/2614:30:05"                       // 1-16 date and time
    "  01 "                                  // 17-21, trunk at 19-20
    "201      "                              // 22-30 extension
    "00:01:23"                               // 31-38 duration
    "0511234567890                        "  // 39-75 dialled number
    " 1234";                                 // 76-80, personal code at 77-80

// Typical with text written over it from a column counted from 1.
std::string Over(int column, std::string_view text, std::string line = Typical) {
  line.replace(static_cast<std::size_t>(column - 1), text.size(), text);
  return line;
}

TEST(DecodeCallLine, TypicalLineFillsEveryField) {
  ASSERT_EQ(Typical.size(), 80u);
  const auto record = DecodeCallLine(Typical, ThisYear);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->DATA, (TLocalDateTime{2026, 12, 9, 14, 30, 5}));
  EXPECT_EQ(record->RAMA, "201");
  EXPECT_EQ(record->NUME_DISC, "0511234567890");
  EXPECT_EQ(record->DURA, "00:01:23");
  EXPECT_EQ(record->SENH, "1234");
  EXPECT_EQ(record->TRON, "01");
  EXPECT_FALSE(record->TIPO.has_value());
}

struct TFieldCase {
  const char* Name;
  std::string Line;
  const char* Rama;
  const char* NumeDisc;
  const char* Dura;
  const char* Senh;
  const char* Tron;
};

void PrintTo(const TFieldCase& c, std::ostream* os) {
  *os << c.Name;
}

class DecodeCallLineFields : public testing::TestWithParam<TFieldCase> {};

TEST_P(DecodeCallLineFields, TakesTheColumns) {
  const TFieldCase& c = GetParam();
  const auto record = DecodeCallLine(c.Line, ThisYear);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->RAMA, c.Rama);
  EXPECT_EQ(record->NUME_DISC, c.NumeDisc);
  EXPECT_EQ(record->DURA, c.Dura);
  EXPECT_EQ(record->SENH, c.Senh);
  EXPECT_EQ(record->TRON, c.Tron);
  EXPECT_FALSE(record->TIPO.has_value());
}

const std::string SecondLine = Over(15, "06");

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeCallLineFields,
    testing::Values(
        TFieldCase{"OnlyDateAndTime", Typical.substr(0, 16), "", "", "", "", ""},
        TFieldCase{"EndsInsideTheTrunk", Typical.substr(0, 19), "", "", "", "", "0"},
        TFieldCase{"EndsAfterTheExtension", Typical.substr(0, 30), "201", "", "", "", "01"},
        TFieldCase{"FortyCharacters", Typical.substr(0, 40), "201", "05", "00:01:23", "", "01"},
        TFieldCase{"EndsInsideThePersonalCode", Typical.substr(0, 78), "201", "0511234567890", "00:01:23",
                   "12", "01"},
        TFieldCase{"TextPastColumn80IsNotRead", Typical + "999\r\n", "201", "0511234567890", "00:01:23",
                   "1234", "01"},
        TFieldCase{"LongExtensionCutToFour", Over(22, "  2015678"), "2015", "0511234567890", "00:01:23",
                   "1234", "01"},
        TFieldCase{"LongNumberCutToTwenty", Over(39, "1234567890123456789012345"), "201",
                   "12345678901234567890", "00:01:23", "1234", "01"},
        TFieldCase{"BlanksInsideTheNumberKept", Over(39, " 0 51 1234    "), "201", "0 51 1234", "00:01:23",
                   "1234", "01"},
        TFieldCase{"DurationTrunkAndCodeKeepTheirBlanks",
                   Over(19, " 1", Over(31, " 0:01:2 ", Over(77, " 12 "))), "201", "0511234567890", " 0:01:2 ",
                   " 12 ", " 1"},
        TFieldCase{"BlankFieldsStayBlankWhereTaken", Over(19, "  ", Over(31, "        ", Over(77, "    "))),
                   "201", "0511234567890", "        ", "    ", "  "},
        TFieldCase{"ControlCharactersTrimmed", Over(22, "\0\t201\r\x1f  "sv, Over(39, "\r\n0511\x03      ")),
                   "201", "0511", "00:01:23", "1234", "01"},
        TFieldCase{"ZeroByteInsideATextIsReplaced", Over(39, "05\0 11       "sv), "201", "05\xEF\xBF\xBD 11",
                   "00:01:23", "1234", "01"},
        TFieldCase{"AccentedExtensionCutByCharacters", Over(22, "\xE7\xE3o1\xE9"), "\xC3\xA7\xC3\xA3o1",
                   "0511234567890", "00:01:23", "1234", "01"},
        TFieldCase{"AccentedNumberCutByCharacters", Over(39, std::string(25, '\xE7')), "201",
                   "\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7"
                   "\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7\xC3\xA7",
                   "00:01:23", "1234", "01"},
        TFieldCase{"NoBreakSpaceIsNotTrimmed", Over(22, "201\xA0"), "201\xC2\xA0", "0511234567890",
                   "00:01:23", "1234", "01"},
        TFieldCase{"EuroSignsAndUnassignedBytes", Over(31, "00:0\x81:23", Over(77, "\x80\x80\x80\x80")),
                   "201", "0511234567890", "00:0\xEF\xBF\xBD:23",
                   "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "01"},
        // The second line's start falls into the first one's dialled number and personal code.
        TFieldCase{"TwoLinesDecodedAsOne", Typical.substr(0, 40) + "\r\n" + SecondLine, "201",
                   "05\r\n09/12/2614:30:06", "00:01:23", "1:23", "01"},
        TFieldCase{"TwoWholeLinesGiveTheFirst", Typical + "\r\n" + SecondLine + "\r\n", "201",
                   "0511234567890", "00:01:23", "1234", "01"}),
    NameOf<TFieldCase>);

struct TDateCase {
  const char* Name;
  std::string_view Text;
  int CurrentYear;
  std::optional<TLocalDateTime> Expected;
};

void PrintTo(const TDateCase& c, std::ostream* os) {
  *os << c.Name;
}

class DecodeCallLineDate : public testing::TestWithParam<TDateCase> {};

TEST_P(DecodeCallLineDate, ConvertsOrRefuses) {
  const TDateCase& c = GetParam();
  const auto record = DecodeCallLine(c.Text, c.CurrentYear);
  if (!c.Expected) {
    EXPECT_FALSE(record) << c.Text;
    return;
  }
  ASSERT_TRUE(record) << c.Text;
  EXPECT_EQ(record->DATA, *c.Expected);
}

constexpr auto None = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Dates, DecodeCallLineDate,
    testing::Values(
        TDateCase{"Plain", "09/12/2614:30:05", 2026, TLocalDateTime{2026, 12, 9, 14, 30, 5}},
        TDateCase{"SeparatorsNeverLookedAt", "09x12-2614.30z05", 2026,
                  TLocalDateTime{2026, 12, 9, 14, 30, 5}},
        TDateCase{"Empty", "", 2026, None}, TDateCase{"FifteenCharacters", "09/12/2614:30:5", 2026, None},
        TDateCase{"OneCharacter", "0", 2026, None},
        TDateCase{"BlankBeforeDigits", " 5/ 3/ 6 9: 5: 7", 2026, TLocalDateTime{2006, 3, 5, 9, 5, 7}},
        TDateCase{"BlankAfterDigits", "5 /3 /6 9 :5 :7 ", 2026, TLocalDateTime{2006, 3, 5, 9, 5, 7}},
        TDateCase{"BlankDay", "  /03/2609:05:07", 2026, None},
        TDateCase{"BlankSecond", "05/03/2609:05:  ", 2026, None},
        TDateCase{"PlusSign", "+5/03/2609:05:07", 2026, None},
        TDateCase{"MinusSign", "05/-1/2609:05:07", 2026, None},
        TDateCase{"HexPrefix", "05/03/0x09:05:07", 2026, None},
        TDateCase{"TabIsNotABlank", "\t5/03/2609:05:07", 2026, None},
        TDateCase{"LettersInDay", "ab/03/2609:05:07", 2026, None},
        TDateCase{"LetterInMinute", "05/03/2609:0O:07", 2026, None},
        TDateCase{"ZeroByteInSecond", "05/03/2609:05:0\0"sv, 2026, None},
        TDateCase{"StartsWithLineEnd", "\r\n09/12/2614:30:05", 2026, None},
        TDateCase{"StartsWithTailOfEarlierLine", "1234\r\n09/12/2614:30:05", 2026, None},
        TDateCase{"DayZero", "00/03/2609:05:07", 2026, None},
        TDateCase{"MonthZero", "05/00/2609:05:07", 2026, None},
        TDateCase{"MonthThirteen", "05/13/2609:05:07", 2026, None},
        TDateCase{"ThirtyFirstOfFebruary", "31/02/2609:05:07", 2026, None},
        TDateCase{"ThirtyFirstOfApril", "31/04/2609:05:07", 2026, None},
        TDateCase{"ThirtyFirstOfDecember", "31/12/2623:59:59", 2026,
                  TLocalDateTime{2026, 12, 31, 23, 59, 59}},
        TDateCase{"LeapDayInCommonYear", "29/02/2709:05:07", 2026, None},
        TDateCase{"LeapDayInLeapYear", "29/02/2809:05:07", 2026, TLocalDateTime{2028, 2, 29, 9, 5, 7}},
        TDateCase{"LeapDayIn2000", "29/02/0009:05:07", 2026, TLocalDateTime{2000, 2, 29, 9, 5, 7}},
        TDateCase{"NoLeapDayIn2100", "29/02/0009:05:07", 2080, None},
        TDateCase{"Midnight", "01/01/2600:00:00", 2026, TLocalDateTime{2026, 1, 1, 0, 0, 0}},
        TDateCase{"Hour24", "01/01/2624:00:00", 2026, None},
        TDateCase{"Minute60", "01/01/2623:60:00", 2026, None},
        TDateCase{"Second60", "01/01/2623:59:60", 2026, None},
        TDateCase{"Hour99", "01/01/2699:00:00", 2026, None},
        TDateCase{"YearIsCurrentYear", "01/06/2612:00:00", 2026, TLocalDateTime{2026, 6, 1, 12, 0, 0}},
        TDateCase{"Year49Ahead", "01/06/7512:00:00", 2026, TLocalDateTime{2075, 6, 1, 12, 0, 0}},
        TDateCase{"Year50Back", "01/06/7612:00:00", 2026, TLocalDateTime{1976, 6, 1, 12, 0, 0}},
        TDateCase{"Year49Back", "01/06/7712:00:00", 2026, TLocalDateTime{1977, 6, 1, 12, 0, 0}},
        TDateCase{"YearZero", "01/06/0012:00:00", 2026, TLocalDateTime{2000, 6, 1, 12, 0, 0}},
        TDateCase{"Year99", "01/06/9912:00:00", 2026, TLocalDateTime{1999, 6, 1, 12, 0, 0}},
        TDateCase{"WindowStartsOnACentury", "01/06/5012:00:00", 2000, TLocalDateTime{1950, 6, 1, 12, 0, 0}},
        TDateCase{"WindowEndsBeforeACentury", "01/06/4912:00:00", 2000, TLocalDateTime{2049, 6, 1, 12, 0, 0}},
        TDateCase{"Year51BackWrapsTo49Ahead", "01/06/4912:00:00", 2100,
                  TLocalDateTime{2149, 6, 1, 12, 0, 0}}),
    NameOf<TDateCase>);

TEST(DecodeCallLineNoise, TenKilobytesWithoutLineEnd) {
  EXPECT_FALSE(DecodeCallLine(std::string(10240, 'x'), ThisYear));
  const auto record = DecodeCallLine(Typical.substr(0, 38) + std::string(10240, '7'), ThisYear);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->NUME_DISC, "77777777777777777777");
  EXPECT_EQ(record->SENH, "7777");
}

TEST(DecodeCallLineNoise, BinaryGarbageGivesNoRecord) {
  EXPECT_FALSE(
      DecodeCallLine("\xFF\xFE\0\x13\x11\x80\x9D\x01\r\n\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"sv, ThisYear));
  EXPECT_FALSE(DecodeCallLine(std::string(100, '\0'), ThisYear));
  EXPECT_FALSE(DecodeCallLine(std::string(100, ' '), ThisYear));
}

}  // namespace
