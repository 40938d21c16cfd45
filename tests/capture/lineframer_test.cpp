#include "lineframer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace capture {
namespace {

using namespace std::string_literals;

// One tick: the bytes of its read, or nullopt for a tick that brought none.
using TTick = std::optional<std::string>;

struct TExpected {
  std::string Text;
  bool Overflow = false;
  friend bool operator==(const TExpected&, const TExpected&) = default;
};

void PrintTo(const TExpected& line, std::ostream* os) {
  *os << (line.Overflow ? "overflow:" : "") << '"' << line.Text << '"';
}

struct TCase {
  const char* Name;
  std::vector<TTick> Ticks;
  std::vector<TExpected> Lines;
};

std::vector<TExpected> FeedTicks(const std::vector<TTick>& ticks) {
  TLineFramer framer;
  std::vector<TExpected> out;
  for (const TTick& tick : ticks) {
    for (TFramedLine& line : tick ? framer.Feed(*tick) : framer.Idle()) {
      out.push_back({std::move(line.Text), line.Overflow});
    }
  }
  return out;
}

const std::string X80(80, 'x');

const TCase Cases[] = {
    {"LfEndsALine", {"A\n"}, {{"A"}}},
    {"CrEndsALine", {"A\r"}, {{"A"}}},
    {"CrLfIsOneEnd", {"A\r\nB\r\n"}, {{"A"}, {"B"}}},
    {"LfCrIsOneEnd", {"A\n\rB\n\r"}, {{"A"}, {"B"}}},
    {"CrAndLfInTwoReads", {"A\r", "\nB\r\n"}, {{"A"}, {"B"}}},
    {"CrThenIdleThenLf", {"A\r", std::nullopt, "\nB\n"}, {{"A"}, {"B"}}},
    {"TailWaitsForTheNextRead", {"AB", "C\r\nD"}, {{"ABC"}}},
    {"LinesAfterAFlushedTail", {"ABC", std::nullopt, "D\n"}, {{"ABC"}, {"D"}}},
    {"SecondIdleFlushesNothingMore", {"A", std::nullopt, std::nullopt}, {{"A"}}},
    {"BlankLinesLeftOut", {"\r\n\r\n  \r\nA\r\n\n\t\n"}, {{"A"}}},
    {"BlankTailNotFlushed", {"   ", std::nullopt}, {}},
    {"BlanksInsideALineKept", {"  A  B  \n"}, {{"  A  B  "}}},
    {"ZeroByteKeptInItsLine", {"A\0B\nC\n"s}, {{"A\0B"s}, {"C"}}},
    {"ZeroBytesAloneAreBlank", {"\0\0\r\nC\n"s}, {{"C"}}},
    {"LongestLineKept", {std::string(4096, 'x') + "\n"}, {{std::string(4096, 'x')}}},
    {"LongestTailFlushed", {std::string(4096, 'x'), std::nullopt}, {{std::string(4096, 'x')}}},
    {"OneByteTooManyDropped", {std::string(4097, 'x') + "\nB\n"}, {{X80, true}, {"B"}}},
    {"OverflowKeepsItsStart", {"ab", std::string(5000, 'x') + "\n"}, {{"ab" + X80.substr(2), true}}},
    {"OverflowWhenTheTailOutgrowsTheLimit", {std::string(4000, 'x'), std::string(97, 'x')}, {{X80, true}}},
    {"RestOfADroppedRunIsNoLine", {std::string(5000, 'x'), "yyy", "zzz\r\nB\r\n"}, {{X80, true}, {"B"}}},
    {"IdleTickEndsADroppedRun", {std::string(5000, 'x'), std::nullopt, "B\n"}, {{X80, true}, {"B"}}},
    {"DroppedRunReportedOnce", {std::string(5000, 'x'), std::string(5000, 'x'), "\n"}, {{X80, true}}},
};

TEST(LineFramer, FramesLines) {
  for (const TCase& c : Cases) EXPECT_EQ(FeedTicks(c.Ticks), c.Lines) << c.Name;
}

TEST(LineFramer, HoldsNoMoreThanTheLongestLine) {
  TLineFramer framer;
  for (int i = 0; i < 100; ++i) {
    framer.Feed(std::string(1000, 'x'));
    EXPECT_LE(framer.Pending(), TLineFramer::MaxLineLength);
  }
}

TEST(LineFramer, EveryByteOfAStreamCutAnywhereArrives) {
  const std::string stream = "L1 abc\r\nL2 def\r\nL3 ghi\r\n";
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    EXPECT_EQ(FeedTicks({stream.substr(0, cut), stream.substr(cut)}),
              (std::vector<TExpected>{{"L1 abc"}, {"L2 def"}, {"L3 ghi"}}))
        << "cut at " << cut;
  }
}

}  // namespace
}  // namespace capture
