// The list's rows in fixed blocks: appending never moves what is there, so a day of 100,000 calls
// costs its own size at the peak rather than twice that while a vector regrows.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "callrow.h"

namespace calls {

class TRowBlocks {
 public:
  std::size_t size() const { return FSize; }
  const TCallRow& operator[](std::size_t i) const { return FBlocks[i / BlockRows][i % BlockRows]; }
  TCallRow& At(std::size_t i) { return FBlocks[i / BlockRows][i % BlockRows]; }

  void push_back(const TCallRow& row) {
    if (FSize == FBlocks.size() * BlockRows) FBlocks.push_back(std::make_unique<TCallRow[]>(BlockRows));
    FBlocks[FSize / BlockRows][FSize % BlockRows] = row;
    ++FSize;
  }

  void clear() {
    FBlocks.clear();
    FSize = 0;
  }

 private:
  static constexpr std::size_t BlockRows = 4096;
  std::vector<std::unique_ptr<TCallRow[]>> FBlocks;
  std::size_t FSize = 0;
};

}  // namespace calls
