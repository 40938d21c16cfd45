#include "linefeed.h"

#include <utility>

namespace exchangesim {

TLineFeed::TLineFeed(const TSimOptions& options, std::uint32_t seed, std::vector<std::string> replayLines)
    : FOptions(options), FReplay(std::move(replayLines)), FCalls(seed), FNoise(seed ^ 0x9E3779B9u) {}

std::size_t TLineFeed::Anywhere(std::size_t size) {
  return std::uniform_int_distribution<std::size_t>(0, size)(FNoise);
}

// Line noise: any byte, high ones and control characters included, but no line end inside.
std::string TLineFeed::Garbage() {
  std::string bytes(1 + Anywhere(99), '\0');
  for (char& b : bytes) {
    b = static_cast<char>(Anywhere(255));
    if (b == '\r' || b == '\n') b = '~';
  }
  return bytes + LineEnd;
}

std::optional<std::vector<TWrite>> TLineFeed::Next(const calls::TLocalDateTime& now) {
  if (!FOptions.ReplayFile.empty() && static_cast<std::size_t>(FLine) >= FReplay.size()) return std::nullopt;
  std::string line = FOptions.ReplayFile.empty() ? FormatCallLine(FCalls.Next(now))
                                                 : FReplay[static_cast<std::size_t>(FLine)];
  ++FLine;

  if (Due(FOptions.NulEvery)) line.insert(Anywhere(line.size()), 1 + Anywhere(2), '\0');
  if (!Due(FOptions.NoEolEvery)) line += LineEnd;

  std::vector<TWrite> writes;
  if (FOptions.Split && line.size() > 1) {
    const std::size_t cut = 1 + Anywhere(line.size() - 2);
    writes.push_back({line.substr(0, cut), std::chrono::milliseconds(FOptions.SplitPauseMs)});
    writes.push_back({line.substr(cut)});
  } else {
    writes.push_back({std::move(line)});
  }
  if (Due(FOptions.GarbageEvery)) writes.push_back({Garbage()});
  return writes;
}

std::vector<std::string> SplitReplayText(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace exchangesim
