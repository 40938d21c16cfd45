#include "lineframer.h"

#include <algorithm>

namespace capture {

namespace {

// Blanks and control characters only: nothing an exchange prints as a call.
bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace

std::vector<TFramedLine> TLineFramer::Feed(std::string_view bytes) {
  std::vector<TFramedLine> lines;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find_first_of("\r\n");
    const std::string_view piece = bytes.substr(0, end);
    if (!FDropping && FTail.size() + piece.size() > MaxLineLength) {
      FTail.append(piece.substr(0, OverflowKeep - std::min(OverflowKeep, FTail.size())));
      FTail.resize(std::min(FTail.size(), OverflowKeep));
      lines.push_back({std::move(FTail), true});
      FTail.clear();
      FDropping = true;
      FSeam = 0;
    } else if (!FDropping) {
      FTail.append(piece);
    }
    if (end == std::string_view::npos) break;
    EndLine(lines);
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

void TLineFramer::Resume(std::string tail) {
  FTail = std::move(tail);
  FDropping = false;
  Suspend();
}

std::vector<TFramedLine> TLineFramer::Idle() {
  std::vector<TFramedLine> lines;
  EndLine(lines);
  return lines;
}

void TLineFramer::EndLine(std::vector<TFramedLine>& lines) {
  // The end of a dropped run only closes it; its start was already reported.
  const std::size_t seam = std::min(FSeam, FTail.size());
  if (!FDropping && !IsBlank(FTail)) lines.push_back({std::move(FTail), false, seam});
  FTail.clear();
  FDropping = false;
  FSeam = 0;
}

}  // namespace capture
