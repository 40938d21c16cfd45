#include "simoptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using exchangesim::ParseSimOptions;
using exchangesim::TOutputKind;

TEST(SimOptions, BenchmarkLine) {
  const auto parsed = ParseSimOptions(
      {"--pty", "--path-file", "/tmp/p", "--bitrate", "256000", "--rate", "max", "--duration", "60"});
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  EXPECT_EQ(parsed.Options->Output, TOutputKind::okPty);
  EXPECT_EQ(parsed.Options->PathFile, "/tmp/p");
  EXPECT_EQ(parsed.Options->BitRate, 256000);
  EXPECT_EQ(parsed.Options->Rate, 0.0);
  EXPECT_EQ(parsed.Options->Duration, 60.0);
}

TEST(SimOptions, CountAloneIsABurstButKeepsAGivenRate) {
  const auto burst = ParseSimOptions({"--count", "500"});
  ASSERT_TRUE(burst.Options);
  EXPECT_EQ(burst.Options->Count, 500);
  EXPECT_EQ(burst.Options->Rate, 0.0);
  const auto paced = ParseSimOptions({"--rate", "0.5", "--count", "500"});
  ASSERT_TRUE(paced.Options);
  EXPECT_EQ(paced.Options->Rate, 0.5);
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

TEST(SimOptions, BadOptionsAreRefusedWithAMessage) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--bogus"}, "unknown option --bogus (try --help)"},
      {{"--count"}, "--count needs a value"},
      {{"--count", "0"}, "--count 0: expected a whole number above 0"},
      {{"--count", "5x"}, "--count 5x: expected a whole number above 0"},
      {{"--count", " 5"}, "--count  5: expected a whole number above 0"},
      {{"--bitrate", "0"}, "--bitrate 0: expected a whole number above 0"},
      {{"--rate", "-1"}, "--rate -1: expected calls a second (0 or \"max\": back to back)"},
      {{"--rate", "nan"}, "--rate nan: expected calls a second (0 or \"max\": back to back)"},
      {{"--duration", "0"}, "--duration 0: expected seconds above 0"},
      {{"--seed", "4294967296"}, "--seed 4294967296: expected a whole number from 0 to 4294967295"},
      {{"--device", ""}, "--device : expected a device path"},
      {{"--path-file", "/tmp/p"}, "--path-file goes with --pty"},
  };
  for (const auto& [args, error] : cases) {
    const auto parsed = ParseSimOptions(args);
    EXPECT_FALSE(parsed.Options) << error;
    EXPECT_EQ(parsed.Error, error);
  }
}

}  // namespace
