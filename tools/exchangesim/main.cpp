// exchangesim: plays the telephone exchange on a serial line or a pseudo-terminal. See --help.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "linefeed.h"
#include "lineport.h"
#include "pacedwriter.h"
#include "simoptions.h"

namespace {

using namespace exchangesim;
using TClock = std::chrono::steady_clock;

std::atomic<bool> StopRequested{false};

extern "C" void OnStopSignal(int) {
  StopRequested = true;
}

#ifdef _WIN32
void CatchStopSignals() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}
#else
// Without SA_RESTART, so a write blocked on a full terminal returns when asked to stop.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a write error instead
}
#endif

calls::TLocalDateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

int Fail(const std::string& message) {
  std::cerr << "exchangesim: " << message << '\n';
  return 1;
}

bool ReadReplay(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  lines = SplitReplayText(text.str());
  if (lines.empty()) error = path + " holds no lines";
  return !lines.empty();
}

// Written under another name and renamed, so whoever waits for the file never reads half a path.
bool WritePathFile(const std::string& file, const std::string& path, std::string& error) {
  const std::string partial = file + ".partial";
  {
    std::ofstream out(partial, std::ios::trunc);
    out << path << '\n';
    if (!out.flush()) {
      error = "cannot write " + partial;
      return false;
    }
  }
  if (std::rename(partial.c_str(), file.c_str()) != 0) {
    error = "cannot rename " + partial + " to " + file;
    return false;
  }
  return true;
}

std::unique_ptr<TLinePort> OpenPort(const TSimOptions& options, std::string& error) {
  switch (options.Output) {
    case TOutputKind::okDevice:
      return TLinePort::OpenDevice(options.DevicePath, options.BitRate, error);
    case TOutputKind::okPty:
      return TLinePort::OpenPty(options.BitRate, error);
    case TOutputKind::okStdout:
      break;
  }
  return TLinePort::Stdout();
}

// Sends lines until the count, the duration or the replay is done; false on a write failure.
bool Run(const TSimOptions& options, TLineFeed& feed, TPacedWriter& writer, std::string& error) {
  const auto start = TClock::now();
  const auto end = options.Duration ? start + std::chrono::duration_cast<TClock::duration>(
                                                  std::chrono::duration<double>(*options.Duration))
                                    : TClock::time_point::max();
  for (long line = 0; !StopRequested && TClock::now() < end; ++line) {
    if (options.Count && line >= *options.Count) break;
    if (options.Rate > 0) {
      const auto due = start + std::chrono::duration_cast<TClock::duration>(
                                   std::chrono::duration<double>(static_cast<double>(line) / options.Rate));
      if (due >= end || !SleepUntil(due, StopRequested)) break;
    }
    const auto writes = feed.Next(LocalNow());
    if (!writes) break;
    for (const TWrite& write : *writes) {
      if (!writer.Write(write.Bytes, error)) return false;
      SleepUntil(TClock::now() + write.PauseAfter, StopRequested);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const TParsedOptions parsed = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.Options) {
    std::cerr << "exchangesim: " << parsed.Error << '\n';
    return 2;
  }
  const TSimOptions& options = *parsed.Options;
  if (options.Help) {
    std::cout << SimUsage();
    return 0;
  }
  CatchStopSignals();

  std::string error;
  std::vector<std::string> replay;
  if (!options.ReplayFile.empty() && !ReadReplay(options.ReplayFile, replay, error)) return Fail(error);
  const std::uint32_t seed = options.Seed ? *options.Seed : std::random_device{}();

  const auto port = OpenPort(options, error);
  if (!port) return Fail(error);
  if (options.Output == TOutputKind::okPty) {
    std::cout << port->Path() << std::endl;
    if (!options.PathFile.empty() && !WritePathFile(options.PathFile, port->Path(), error))
      return Fail(error);
  }
  std::cerr << "exchangesim: seed " << seed << ", " << options.BitRate << " bit/s to " << port->Path()
            << '\n';

  TLineFeed feed(options, seed, std::move(replay));
  TPacedWriter writer(port->Fd(), options.BitRate, StopRequested);
  const bool sent = Run(options, feed, writer, error);
  std::cerr << "exchangesim: " << feed.LinesSent() << " lines, " << writer.BytesSent() << " bytes\n";
  if (!sent) return Fail(error);

  // Closing a pseudo-terminal's master drops what the logger has not read yet: hold it until told.
  if (options.Output == TOutputKind::okPty && !StopRequested) {
    std::cerr << "exchangesim: done; keeping " << port->Path() << " open until interrupted\n";
    SleepUntil(TClock::time_point::max(), StopRequested);
  }
  if (!options.PathFile.empty()) std::remove(options.PathFile.c_str());
  return 0;
}
