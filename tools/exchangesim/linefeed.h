// The stream of writes the simulator sends: call lines (made up or replayed) with the line noise
// the options ask for.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "callgenerator.h"
#include "simoptions.h"

namespace exchangesim {

struct TWrite {
  std::string Bytes;
  std::chrono::milliseconds PauseAfter{0};
};

class TLineFeed {
 public:
  // replayLines empty: made-up calls.
  TLineFeed(const TSimOptions& options, std::uint32_t seed, std::vector<std::string> replayLines);

  // The writes of the next call line and any noise that goes with it; empty when a replay has
  // run out.
  std::optional<std::vector<TWrite>> Next(const calls::TLocalDateTime& now);

  long LinesSent() const { return FLine; }

 private:
  bool Due(long every) const { return every > 0 && FLine % every == 0; }
  std::size_t Anywhere(std::size_t size);
  std::string Garbage();

  TSimOptions FOptions;
  std::vector<std::string> FReplay;
  TCallGenerator FCalls;
  std::mt19937 FNoise;
  long FLine = 0;
};

// The lines of a replay file's text, without their line ends; a last line without one counts.
std::vector<std::string> SplitReplayText(const std::string& text);

}  // namespace exchangesim
