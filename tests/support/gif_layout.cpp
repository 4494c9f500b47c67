#include "tests/support/gif_layout.h"

namespace {

size_t ColorTableSize(uint8_t packed) {
  return packed & 0x80 ? 3 * (2 << (packed & 7)) : 0;
}

// Adds where each sub-block of the chain at at ends, the terminator's included.
void AddChainBoundaries(const std::vector<uint8_t>& gif, size_t& at,
                        std::vector<size_t>& boundaries) {
  while (gif.at(at) != 0) {
    at += gif[at] + 1;
    boundaries.push_back(at);
  }
  boundaries.push_back(++at);
}

}  // namespace

TGIFLayout LayoutOf(const std::vector<uint8_t>& gif) {
  TGIFLayout layout;
  size_t at = 13;
  layout.Boundaries = {6, at};
  at += ColorTableSize(gif.at(10));
  layout.Boundaries.push_back(at);
  while (gif.at(at) != 0x3B) {
    if (gif[at] == 0x21) {
      at += 2;
      layout.Boundaries.push_back(at);
      AddChainBoundaries(gif, at, layout.Boundaries);
      continue;
    }
    at += 10;
    layout.Boundaries.push_back(at);
    at += ColorTableSize(gif.at(at - 1));
    layout.Boundaries.push_back(at);
    layout.Boundaries.push_back(++at);
    AddChainBoundaries(gif, at, layout.Boundaries);
    if (layout.FirstImageEnd == 0) layout.FirstImageEnd = at;
  }
  layout.Boundaries.push_back(at + 1);
  return layout;
}
