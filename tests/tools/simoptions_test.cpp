#include "simoptions.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using exchangesim::ParseSimOptions;
using exchangesim::TOutputKind;

TEST(SimOptions, DefaultsAreOneCallASecondAt9600ToStandardOutput) {
  const auto parsed = ParseSimOptions({});
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  EXPECT_EQ(parsed.Options->Output, TOutputKind::okStdout);
  EXPECT_EQ(parsed.Options->BitRate, 9600);
  EXPECT_EQ(parsed.Options->Rate, 1.0);
  EXPECT_FALSE(parsed.Options->Count);
  EXPECT_FALSE(parsed.Options->Duration);
  EXPECT_FALSE(parsed.Options->Seed);
  EXPECT_FALSE(parsed.Options->Split);
}

TEST(SimOptions, DemoLine) {
  const auto parsed =
      ParseSimOptions({"--pty", "--path-file", "/tmp/p", "--bitrate", "9600", "--rate", "0.5"});
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  EXPECT_EQ(parsed.Options->Output, TOutputKind::okPty);
  EXPECT_EQ(parsed.Options->PathFile, "/tmp/p");
  EXPECT_EQ(parsed.Options->Rate, 0.5);
}

TEST(SimOptions, BenchmarkLine) {
  const auto parsed = ParseSimOptions({"--pty", "--bitrate", "256000", "--rate", "max", "--duration", "60"});
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  EXPECT_EQ(parsed.Options->BitRate, 256000);
  EXPECT_EQ(parsed.Options->Rate, 0.0);
  EXPECT_EQ(parsed.Options->Duration, 60.0);
}

TEST(SimOptions, CountAloneIsABurstButKeepsAGivenRate) {
  const auto burst = ParseSimOptions({"--count", "500"});
  ASSERT_TRUE(burst.Options);
  EXPECT_EQ(burst.Options->Count, 500);
  EXPECT_EQ(burst.Options->Rate, 0.0);
  const auto paced = ParseSimOptions({"--rate", "3", "--count", "500"});
  ASSERT_TRUE(paced.Options);
  EXPECT_EQ(paced.Options->Rate, 3.0);
}

TEST(SimOptions, NoiseAndReplay) {
  const auto parsed =
      ParseSimOptions({"--device", "/dev/ttyUSB0", "--garbage-every", "10", "--nul-every", "7", "--no-eol",
                       "--split", "--split-pause", "300", "--replay", "calls.txt", "--seed", "4294967295"});
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  const auto& o = *parsed.Options;
  EXPECT_EQ(o.Output, TOutputKind::okDevice);
  EXPECT_EQ(o.DevicePath, "/dev/ttyUSB0");
  EXPECT_EQ(o.GarbageEvery, 10);
  EXPECT_EQ(o.NulEvery, 7);
  EXPECT_EQ(o.NoEolEvery, 1);
  EXPECT_TRUE(o.Split);
  EXPECT_EQ(o.SplitPauseMs, 300);
  EXPECT_EQ(o.ReplayFile, "calls.txt");
  EXPECT_EQ(o.Seed, 4294967295u);
}

TEST(SimOptions, HelpWinsOverEverythingElse) {
  const auto parsed = ParseSimOptions({"--path-file", "x", "--help"});
  ASSERT_TRUE(parsed.Options);
  EXPECT_TRUE(parsed.Options->Help);
}

struct TBadCase {
  std::vector<std::string> Args;
  const char* Error;
};

void PrintTo(const TBadCase& c, std::ostream* os) {
  for (const auto& a : c.Args) *os << a << ' ';
}

class SimOptionsRefused : public testing::TestWithParam<TBadCase> {};

TEST_P(SimOptionsRefused, WithAMessage) {
  const auto parsed = ParseSimOptions(GetParam().Args);
  EXPECT_FALSE(parsed.Options);
  EXPECT_EQ(parsed.Error, GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Bad, SimOptionsRefused,
    testing::Values(
        TBadCase{{"--bogus"}, "unknown option --bogus (try --help)"},
        TBadCase{{"--count"}, "--count needs a value"},
        TBadCase{{"--count", "0"}, "--count 0: expected a whole number above 0"},
        TBadCase{{"--count", "-3"}, "--count -3: expected a whole number above 0"},
        TBadCase{{"--count", "5x"}, "--count 5x: expected a whole number above 0"},
        TBadCase{{"--count", " 5"}, "--count  5: expected a whole number above 0"},
        TBadCase{{"--bitrate", "0"}, "--bitrate 0: expected a whole number above 0"},
        TBadCase{{"--rate", "-1"}, "--rate -1: expected calls a second (0 or \"max\": back to back)"},
        TBadCase{{"--rate", "nan"}, "--rate nan: expected calls a second (0 or \"max\": back to back)"},
        TBadCase{{"--duration", "0"}, "--duration 0: expected seconds above 0"},
        TBadCase{{"--seed", "4294967296"}, "--seed 4294967296: expected a whole number from 0 to 4294967295"},
        TBadCase{{"--device", ""}, "--device : expected a device path"},
        TBadCase{{"--path-file", "/tmp/p"}, "--path-file goes with --pty"}));

}  // namespace
