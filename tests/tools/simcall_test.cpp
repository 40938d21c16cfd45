#include "simcall.h"

#include <gtest/gtest.h>

#include <string>

#include "callgenerator.h"
#include "decodecallline.h"

namespace {

using exchangesim::FormatCallLine;
using exchangesim::TSimCall;

// Every value in its columns: single digits padded, a blank code kept, wider values cut.
TEST(SimCallLine, PrintsEveryValueInItsColumns) {
  const std::pair<TSimCall, const char*> cases[] = {
      {{{2026, 12, 9, 14, 30, 5}, "01", "201", "00:01:23", "0511234567890", "1234"},
       "09/12/2614:30:05  01 201      00:01:230511234567890                         1234"},
      {{{2003, 1, 2, 3, 4, 5}, "12", "2099", "02:00:00", "190", "    "},
       "02/01/0303:04:05  12 2099     02:00:00190                                       "},
      {{{2026, 12, 9, 14, 30, 5}, "123", "1234567890AB", "000:01:23", std::string(40, '9'), "12345"},
       "09/12/2614:30:05  12 123456789000:01:29999999999999999999999999999999999999 1234"},
  };
  for (const auto& [call, line] : cases) EXPECT_EQ(FormatCallLine(call), line);
}

// Whatever the generator makes must come back unchanged through the logger's decoder.
TEST(SimCallLine, GeneratedCallsDecodeToWhatWasGenerated) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    exchangesim::TCallGenerator generator(seed);
    for (int i = 0; i < 200; ++i) {
      const TSimCall call = generator.Next({2026, 2, 28, 23, 59, 59});
      const std::string line = FormatCallLine(call) + "\r\n";
      ASSERT_EQ(line.size(), 82u);
      const auto record = calls::DecodeCallLine(line, 2026);
      ASSERT_TRUE(record) << line;
      EXPECT_EQ(record->DATA, call.When);
      EXPECT_EQ(record->TRON, call.Trunk);
      EXPECT_EQ(record->RAMA, call.Extension);
      EXPECT_EQ(record->DURA, call.Duration);
      EXPECT_EQ(record->NUME_DISC, call.DialledNumber);
      EXPECT_EQ(record->SENH, call.PersonalCode);
    }
  }
}

}  // namespace
