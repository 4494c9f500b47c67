#pragma once
// The dictionary's strings of one repeated index (a a, a a a, ...), by index. A chart is
// mostly long runs of its paper colour, so most of its strings are of this kind; following
// them here is one array read where the hash table would be searched.

#include <array>
#include <cstdint>
#include <vector>

class TRunChains {
 public:
  static constexpr int kAbsent = -1;

  // The code of the string of index repeated length + 1 times, when the dictionary holds
  // it; the string of length repeats must be held (a length of 1 is the index itself).
  int Next(uint8_t index, int length) const {
    const std::vector<uint16_t>& codes = codes_[index];
    return static_cast<size_t>(length) <= codes.size() ? codes[static_cast<size_t>(length - 1)]
                                                       : kAbsent;
  }
  // The code given to the next longer run of index.
  void Add(uint8_t index, int code) { codes_[index].push_back(static_cast<uint16_t>(code)); }
  void Clear() {
    for (std::vector<uint16_t>& codes : codes_) codes.clear();
  }

 private:
  static constexpr int kIndices = 256;

  // codes_[a][n] is the code of a repeated n + 2 times.
  std::array<std::vector<uint16_t>, kIndices> codes_;
};
