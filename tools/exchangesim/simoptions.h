// The simulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace exchangesim {

enum class TOutputKind { okStdout, okDevice, okPty };

struct TSimOptions {
  TOutputKind Output = TOutputKind::okStdout;
  std::string DevicePath;  // okDevice
  std::string PathFile;    // okPty: where the slave's path is written once it exists
  long BitRate = 9600;     // paced at BitRate / 10 bytes a second (8N1 takes ten bits a byte)
  double Rate = 1.0;       // calls a second; 0 sends lines back to back
  std::optional<long> Count;
  std::optional<double> Duration;  // seconds
  std::optional<std::uint32_t> Seed;
  long GarbageEvery = 0;  // 0: never
  long NulEvery = 0;
  long NoEolEvery = 0;
  bool Split = false;
  long SplitPauseMs = 1100;  // longer than the logger's one-second tick
  std::string ReplayFile;
  bool Help = false;
};

struct TParsedOptions {
  std::optional<TSimOptions> Options;  // empty on an error
  std::string Error;
};

// args are the arguments after the program name.
TParsedOptions ParseSimOptions(const std::vector<std::string>& args);

std::string SimUsage();

}  // namespace exchangesim
