#include "simoptions.h"

#include <charconv>
#include <functional>
#include <map>
#include <system_error>

namespace exchangesim {

namespace {

// The whole text must be the number; signs, blanks and trailing characters are refused.
template <typename T>
std::optional<T> Number(const std::string& text) {
  T value{};
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

using TSetter = std::function<std::string(TSimOptions&, const std::string&)>;

// A setter for a positive whole number.
TSetter Positive(long TSimOptions::*field) {
  return [field](TSimOptions& o, const std::string& text) -> std::string {
    const auto value = Number<long>(text);
    if (!value || *value <= 0) return "a whole number above 0";
    o.*field = *value;
    return {};
  };
}

const std::map<std::string, TSetter>& ValueOptions() {
  static const std::map<std::string, TSetter> options = {
      {"--device",
       [](TSimOptions& o, const std::string& text) -> std::string {
         o.Output = TOutputKind::okDevice;
         o.DevicePath = text;
         return text.empty() ? "a device path" : "";
       }},
      {"--path-file",
       [](TSimOptions& o, const std::string& text) -> std::string {
         o.PathFile = text;
         return text.empty() ? "a file path" : "";
       }},
      {"--replay",
       [](TSimOptions& o, const std::string& text) -> std::string {
         o.ReplayFile = text;
         return text.empty() ? "a file path" : "";
       }},
      {"--bitrate", Positive(&TSimOptions::BitRate)},
      {"--count",
       [](TSimOptions& o, const std::string& text) -> std::string {
         const auto value = Number<long>(text);
         if (!value || *value <= 0) return "a whole number above 0";
         o.Count = *value;
         return {};
       }},
      {"--rate",
       [](TSimOptions& o, const std::string& text) -> std::string {
         const auto value = text == "max" ? std::optional<double>(0.0) : Number<double>(text);
         if (!value || !(*value >= 0.0 && *value <= 1e6))
           return "calls a second (0 or \"max\": back to back)";
         o.Rate = *value;
         return {};
       }},
      {"--duration",
       [](TSimOptions& o, const std::string& text) -> std::string {
         const auto value = Number<double>(text);
         if (!value || !(*value > 0.0 && *value <= 1e9)) return "seconds above 0";
         o.Duration = *value;
         return {};
       }},
      {"--seed",
       [](TSimOptions& o, const std::string& text) -> std::string {
         const auto value = Number<std::uint32_t>(text);
         if (!value) return "a whole number from 0 to 4294967295";
         o.Seed = *value;
         return {};
       }},
      {"--garbage-every", Positive(&TSimOptions::GarbageEvery)},
      {"--nul-every", Positive(&TSimOptions::NulEvery)},
      {"--no-eol-every", Positive(&TSimOptions::NoEolEvery)},
      {"--split-pause", Positive(&TSimOptions::SplitPauseMs)},
  };
  return options;
}

}  // namespace

TParsedOptions ParseSimOptions(const std::vector<std::string>& args) {
  TSimOptions options;
  bool rateGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--pty") {
      options.Output = TOutputKind::okPty;
    } else if (arg == "--no-eol") {
      options.NoEolEvery = 1;
    } else if (arg == "--split") {
      options.Split = true;
    } else if (const auto found = ValueOptions().find(arg); found != ValueOptions().end()) {
      if (i + 1 == args.size()) return {std::nullopt, arg + " needs a value"};
      const std::string& value = args[++i];
      if (const std::string wanted = found->second(options, value); !wanted.empty())
        return {std::nullopt, arg + " " + value + ": expected " + wanted};
      rateGiven = rateGiven || arg == "--rate";
    } else {
      return {std::nullopt, "unknown option " + arg + " (try --help)"};
    }
  }
  if (options.Help) return {options, {}};
  if (!options.PathFile.empty() && options.Output != TOutputKind::okPty)
    return {std::nullopt, "--path-file goes with --pty"};
  // A count alone is a burst: the lines go back to back.
  if (options.Count && !rateGiven) options.Rate = 0.0;
  return {options, {}};
}

std::string SimUsage() {
  return R"(exchangesim: plays the telephone exchange's call-detail output.

Writes one 80-column call line (CR LF ended) for every simulated call, stamped with the current
local date and time, paced to the bit rate of the line.

Output (one of; standard output when none is given):
  --device PATH        a serial device (set raw, 8N1, at the bit rate when it is a standard one)
  --pty                a pseudo-terminal made for the run; its path is printed on standard output
  --path-file FILE     with --pty: also write the path to FILE once the terminal exists

What and how fast:
  --bitrate N          bits a second on the line, paced at N/10 bytes a second (default 9600)
  --rate R             calls a second, fractions allowed (default 1); 0 or "max": back to back
  --count N            stop after N lines; without --rate they go back to back (a burst)
  --duration S         stop after S seconds
  --seed N             the same seed gives the same calls (default: from the clock)
  --replay FILE        send the lines of FILE (one a line, any line end) instead of made-up calls

Line noise:
  --garbage-every N    after every Nth line, a line of random bytes
  --nul-every N        zero bytes inside every Nth line
  --no-eol-every N     every Nth line without its CR LF; --no-eol: every line
  --split              write each line in two parts, with a pause between them
  --split-pause MS     that pause in milliseconds (default 1100: past the logger's 1 s tick)

  --help               this text

Stops at the count, the duration, the end of a replay, or on Ctrl+C (SIGINT or SIGTERM: exit 0).
A pseudo-terminal then stays open until Ctrl+C, so the logger can still read what is waiting.
)";
}

}  // namespace exchangesim
