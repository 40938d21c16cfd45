#include "linefeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decodecallline.h"

namespace {

using exchangesim::SplitReplayText;
using exchangesim::TLineFeed;
using exchangesim::TSimOptions;
using exchangesim::TWrite;

const calls::TLocalDateTime Now{2026, 12, 9, 14, 30, 5};

std::vector<std::vector<TWrite>> Take(TLineFeed& feed, int lines) {
  std::vector<std::vector<TWrite>> all;
  for (int i = 0; i < lines; ++i) {
    auto writes = feed.Next(Now);
    if (!writes) break;
    all.push_back(*writes);
  }
  return all;
}

// The writes of the first lines with one kind of noise due every `every` lines.
std::vector<std::vector<TWrite>> WithNoise(long TSimOptions::*noise, long every, int lines) {
  TSimOptions options;
  options.*noise = every;
  TLineFeed feed(options, 7, {});
  return Take(feed, lines);
}

TEST(SimLineFeed, PlainLinesAreOneWriteEachAndDecode) {
  TLineFeed feed(TSimOptions{}, 1, {});
  for (const auto& writes : Take(feed, 20)) {
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].Bytes.size(), 82u);
    EXPECT_TRUE(writes[0].Bytes.ends_with("\r\n"));
    const auto record = calls::DecodeCallLine(writes[0].Bytes, 2026);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->DATA, Now);
  }
  EXPECT_EQ(feed.LinesSent(), 20);
}

TEST(SimLineFeed, GarbageLineAfterEveryThirdLine) {
  const auto all = WithNoise(&TSimOptions::GarbageEvery, 3, 9);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const bool third = (i + 1) % 3 == 0;
    ASSERT_EQ(all[i].size(), third ? 2u : 1u) << i;
    if (!third) continue;
    const std::string& garbage = all[i][1].Bytes;
    EXPECT_TRUE(garbage.ends_with("\r\n"));
    EXPECT_EQ(garbage.find_first_of("\r\n"), garbage.size() - 2) << "no line end inside the noise";
  }
}

TEST(SimLineFeed, ZeroBytesInEverySecondLine) {
  const auto all = WithNoise(&TSimOptions::NulEvery, 2, 10);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const auto zeros = std::count(all[i][0].Bytes.begin(), all[i][0].Bytes.end(), '\0');
    if ((i + 1) % 2 == 0) {
      EXPECT_GE(zeros, 1) << i;
      EXPECT_LE(zeros, 3) << i;
      EXPECT_EQ(all[i][0].Bytes.size(), 82u + static_cast<std::size_t>(zeros));
    } else {
      EXPECT_EQ(zeros, 0) << i;
    }
  }
}

TEST(SimLineFeed, NoLineEndOnEveryFourthLine) {
  const auto all = WithNoise(&TSimOptions::NoEolEvery, 4, 8);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const bool fourth = (i + 1) % 4 == 0;
    EXPECT_EQ(all[i][0].Bytes.size(), fourth ? 80u : 82u) << i;
    EXPECT_EQ(all[i][0].Bytes.ends_with("\r\n"), !fourth) << i;
  }
}

TEST(SimLineFeed, SplitLinesComeInTwoPartsWithAPause) {
  TSimOptions options;
  options.Split = true;
  options.SplitPauseMs = 1500;
  TLineFeed feed(options, 5, {});
  for (const auto& writes : Take(feed, 50)) {
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_FALSE(writes[0].Bytes.empty());
    EXPECT_FALSE(writes[1].Bytes.empty());
    EXPECT_EQ(writes[0].PauseAfter.count(), 1500);
    EXPECT_EQ(writes[1].PauseAfter.count(), 0);
    EXPECT_TRUE(calls::DecodeCallLine(writes[0].Bytes + writes[1].Bytes, 2026));
  }
}

TEST(SimLineFeed, ReplaySendsTheFileLinesThenEnds) {
  TSimOptions options;
  options.ReplayFile = "calls.txt";
  TLineFeed feed(options, 6, {"first", "", "caf\xE9"});
  const auto all = Take(feed, 10);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0][0].Bytes, "first\r\n");
  EXPECT_EQ(all[1][0].Bytes, "\r\n");
  EXPECT_EQ(all[2][0].Bytes, "caf\xE9\r\n");
  EXPECT_FALSE(feed.Next(Now));
}

TEST(SimReplayText, SplitsIntoLines) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"a\r\nb", {"a", "b"}},                                // the last line without an end
      {"a\n\nb\n", {"a", "", "b"}},                          // a blank line kept
      {"a\rb\n", {"a\rb"}},                                  // a lone CR inside kept
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},  // zero bytes kept
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitReplayText(text), lines) << text;
}

}  // namespace
