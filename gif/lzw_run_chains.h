#pragma once
// The dictionary's strings of one repeated index (a a, a a a, ...), by index. A chart is
// mostly long runs of its paper colour, so most of its strings are of this kind; following
// them here is one array read where the hash table would be searched, and a run of pixels
// is matched to its longest string at once.

#include <array>
#include <cstdint>
#include <vector>

class TRunChains {
 public:
  // The longest run of index the dictionary holds: index alone at least.
  int Longest(uint8_t index) const { return static_cast<int>(codes_[index].size()) + 1; }
  // The code of index repeated length times, from 1 to Longest(index).
  int Code(uint8_t index, int length) const {
    return length == 1 ? index : codes_[index][static_cast<size_t>(length - 2)];
  }
  // The code given to the run of index one longer than Longest(index).
  void Add(uint8_t index, int code) { codes_[index].push_back(static_cast<uint16_t>(code)); }
  void Clear() {
    for (std::vector<uint16_t>& codes : codes_) codes.clear();
  }

 private:
  static constexpr int kIndices = 256;

  // codes_[a][n] is the code of a repeated n + 2 times.
  std::array<std::vector<uint16_t>, kIndices> codes_;
};
