// Cuts the byte stream of the serial line into the exchange's call lines. Reads end anywhere, so a
// line may arrive in pieces over several ticks and several lines may arrive in one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "calllayout.h"

namespace capture {

struct TFramedLine {
  std::string Text;       // the line's bytes, without its line end
  bool Overflow = false;  // grew past MaxLineLength without an end: Text holds only its start
  // How many of its first bytes came before the line was opened again (or before the program last
  // ended): the two parts may be one line or two, which the caller decides.
  std::size_t Seam = 0;
};

class TLineFramer {
 public:
  // Longer than any line an exchange prints; a longer run without an end is noise and is dropped
  // so memory stays bounded.
  static constexpr std::size_t MaxLineLength = 4096;
  // How much of a dropped run is kept to show the operator: as much as a printed call line.
  static constexpr auto OverflowKeep = static_cast<std::size_t>(calls::CallLine.PrintedWidth);

  // The bytes of one read. Returns the lines they finish, in order. CR, LF and CR LF each end a
  // line, also when the CR ends one read and the LF begins the next; blank lines are left out.
  std::vector<TFramedLine> Feed(std::string_view bytes);

  // A whole tick passed without bytes: an unfinished tail is taken as a complete line, for exchanges
  // that end their lines with no line end at all.
  std::vector<TFramedLine> Idle();

  // Bytes of an unfinished line held for the next read.
  std::size_t Pending() const { return FTail.size(); }
  const std::string& Tail() const { return FTail; }

  // The line was opened again: the unfinished tail so far may or may not go on in the next bytes.
  void Suspend() { FSeam = FTail.size(); }
  // Takes up the unfinished tail an earlier run of the program left, as suspended.
  void Resume(std::string tail);

 private:
  void EndLine(std::vector<TFramedLine>& lines);

  std::string FTail;
  bool FDropping = false;  // inside an over-long run: everything up to its end is dropped
  std::size_t FSeam = 0;
};

}  // namespace capture
