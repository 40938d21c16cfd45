#include "decodecallline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

using namespace std::literals;
using calls::DecodeCallLine;

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

// The text fields as "RAMA|NUME_DISC|DURA|SENH|TRON", or "no record".
std::string Fields(std::string_view line) {
  const auto r = DecodeCallLine(line, 2026);
  if (!r) return "no record";
  EXPECT_FALSE(r->TIPO.has_value());
  return r->RAMA + "|" + r->NUME_DISC + "|" + r->DURA + "|" + r->SENH + "|" + r->TRON;
}

// The date and time as "yyyy-mm-dd hh:mm:ss", or "refused".
std::string When(std::string_view text, int currentYear) {
  const auto r = DecodeCallLine(text, currentYear);
  if (!r) return "refused";
  char when[48];
  std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", r->DATA.Year, r->DATA.Month, r->DATA.Day,
                r->DATA.Hour, r->DATA.Minute, r->DATA.Second);
  return when;
}

TEST(DecodeCallLine, TakesTheFieldsFromTheirColumns) {
  const struct {
    const char* Name;
    std::string Line;
    const char* Fields;
  } cases[] = {
      {"Typical", Typical, "201|0511234567890|00:01:23|1234|01"},
      {"OnlyDateAndTime", Typical.substr(0, 16), "||||"},
      {"EndsInsideTheTrunk", Typical.substr(0, 19), "||||0"},
      {"EndsAfterTheExtension", Typical.substr(0, 30), "201||||01"},
      {"FortyCharacters", Typical.substr(0, 40), "201|05|00:01:23||01"},
      {"EndsInsideThePersonalCode", Typical.substr(0, 78), "201|0511234567890|00:01:23|12|01"},
      {"TextPastColumn80IsNotRead", Typical + "999\r\n", "201|0511234567890|00:01:23|1234|01"},
      {"LongExtensionCutToFour", Over(22, "  2015678"), "2015|0511234567890|00:01:23|1234|01"},
      {"LongNumberCutToTwenty", Over(39, "1234567890123456789012345"),
       "201|12345678901234567890|00:01:23|1234|01"},
      {"BlanksInsideTheNumberKept", Over(39, " 0 51 1234    "), "201|0 51 1234|00:01:23|1234|01"},
      {"DurationTrunkAndCodeKeepTheirBlanks", Over(19, " 1", Over(31, " 0:01:2 ", Over(77, " 12 "))),
       "201|0511234567890| 0:01:2 | 12 | 1"},
      {"ControlCharactersTrimmed", Over(22, "\0\t201\r\x1f  "sv, Over(39, "\r\n0511\x03      ")),
       "201|0511|00:01:23|1234|01"},
      {"ZeroByteInsideATextIsReplaced", Over(39, "05\0 11       "sv),
       "201|05\xEF\xBF\xBD 11|00:01:23|1234|01"},
      {"AccentedExtensionCutByCharacters", Over(22, "\xE7\xE3o1\xE9"),
       "\xC3\xA7\xC3\xA3o1|0511234567890|00:01:23|1234|01"},
      {"NoBreakSpaceIsNotTrimmed", Over(22, "201\xA0"), "201\xC2\xA0|0511234567890|00:01:23|1234|01"},
      {"EuroSignsAndUnassignedBytes", Over(31, "00:0\x81:23", Over(77, "\x80\x80\x80\x80")),
       "201|0511234567890|00:0\xC2\x81:23|\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC|01"},
      // The second line's start falls into the first one's dialled number and personal code.
      {"TwoLinesDecodedAsOne", Typical.substr(0, 40) + "\r\n" + Over(15, "06"),
       "201|05\r\n09/12/2614:30:06|00:01:23|1:23|01"},
      {"TenKilobytesWithoutLineEnd", Typical.substr(0, 38) + std::string(10240, '7'),
       "201|77777777777777777777|00:01:23|7777|01"},
      {"TenKilobytesOfNoise", std::string(10240, 'x'), "no record"},
      {"BinaryGarbage", "\xFF\xFE\0\x13\x11\x80\x9D\x01\r\n\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s,
       "no record"},
      {"ZeroBytes", std::string(100, '\0'), "no record"},
  };
  for (const auto& c : cases) EXPECT_EQ(Fields(c.Line), c.Fields) << c.Name;
}

TEST(DecodeCallLine, ConvertsTheDateOrRefusesTheLine) {
  const struct {
    const char* Name;
    std::string_view Text;
    int CurrentYear;
    const char* When;
  } cases[] = {
      {"Plain", "09/12/2614:30:05", 2026, "2026-12-09 14:30:05"},
      {"SeparatorsNeverLookedAt", "09x12-2614.30z05", 2026, "2026-12-09 14:30:05"},
      {"Empty", "", 2026, "refused"},
      {"FifteenCharacters", "09/12/2614:30:5", 2026, "refused"},
      {"BlankBeforeDigits", " 5/ 3/ 6 9: 5: 7", 2026, "2006-03-05 09:05:07"},
      {"BlankAfterDigits", "5 /3 /6 9 :5 :7 ", 2026, "2006-03-05 09:05:07"},
      {"BlankDay", "  /03/2609:05:07", 2026, "refused"},
      {"PlusSign", "+5/03/2609:05:07", 2026, "refused"},
      {"TabIsNotABlank", "\t5/03/2609:05:07", 2026, "refused"},
      {"LettersInDay", "ab/03/2609:05:07", 2026, "refused"},
      {"ZeroByteInSecond", "05/03/2609:05:0\0"sv, 2026, "refused"},
      {"StartsWithTailOfEarlierLine", "1234\r\n09/12/2614:30:05", 2026, "refused"},
      {"DayZero", "00/03/2609:05:07", 2026, "refused"},
      {"MonthZero", "05/00/2609:05:07", 2026, "refused"},
      {"MonthThirteen", "05/13/2609:05:07", 2026, "refused"},
      {"ThirtyFirstOfFebruary", "31/02/2609:05:07", 2026, "refused"},
      {"ThirtyFirstOfDecember", "31/12/2623:59:59", 2026, "2026-12-31 23:59:59"},
      {"LeapDayInCommonYear", "29/02/2709:05:07", 2026, "refused"},
      {"LeapDayInLeapYear", "29/02/2809:05:07", 2026, "2028-02-29 09:05:07"},
      {"LeapDayIn2000", "29/02/0009:05:07", 2026, "2000-02-29 09:05:07"},
      {"NoLeapDayIn2100", "29/02/0009:05:07", 2080, "refused"},
      {"Midnight", "01/01/2600:00:00", 2026, "2026-01-01 00:00:00"},
      {"Hour24", "01/01/2624:00:00", 2026, "refused"},
      {"Minute60", "01/01/2623:60:00", 2026, "refused"},
      {"Second60", "01/01/2623:59:60", 2026, "refused"},
      {"Year49Ahead", "01/06/7512:00:00", 2026, "2075-06-01 12:00:00"},
      {"Year50Back", "01/06/7612:00:00", 2026, "1976-06-01 12:00:00"},
      {"WindowStartsOnACentury", "01/06/5012:00:00", 2000, "1950-06-01 12:00:00"},
      {"WindowEndsBeforeACentury", "01/06/4912:00:00", 2000, "2049-06-01 12:00:00"},
      {"Year51BackWrapsTo49Ahead", "01/06/4912:00:00", 2100, "2149-06-01 12:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(When(c.Text, c.CurrentYear), c.When) << c.Name;
}

}  // namespace
