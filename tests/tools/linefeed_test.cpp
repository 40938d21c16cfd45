#include "linefeed.h"

#include <gtest/gtest.h>

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

// Each kind of noise on its own lines only: a garbage line after every third (no line end inside
// it), one to three zero bytes in every second, no line end on every fourth.
TEST(SimLineFeed, NoiseComesOnItsLinesOnly) {
  TSimOptions options;
  options.GarbageEvery = 3;
  options.NulEvery = 2;
  options.NoEolEvery = 4;
  TLineFeed feed(options, 7, {});
  for (int n = 1; n <= 12; ++n) {
    SCOPED_TRACE(n);
    const auto writes = feed.Next(Now);
    ASSERT_TRUE(writes);
    ASSERT_EQ(writes->size(), n % 3 == 0 ? 2u : 1u);
    std::string line = writes->front().Bytes;
    const auto zeros = std::erase(line, '\0');
    EXPECT_EQ(zeros == 0, n % 2 != 0);
    EXPECT_LE(zeros, 3u);
    EXPECT_EQ(line.size(), n % 4 == 0 ? 80u : 82u);
    EXPECT_EQ(line.ends_with("\r\n"), n % 4 != 0);
    if (writes->size() < 2) continue;
    const std::string& garbage = writes->back().Bytes;
    EXPECT_EQ(garbage.find_first_of("\r\n"), garbage.size() - 2);
    EXPECT_TRUE(garbage.ends_with("\r\n"));
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
