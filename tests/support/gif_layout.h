#pragma once
// Where the parts of a well-formed GIF end, for tests that cut files at those places.

#include <cstddef>
#include <cstdint>
#include <vector>

// The signature, the screen, the global table, each extension's label and sub-blocks,
// each image descriptor, local table, code size byte and data sub-block, the trailer.
struct TGIFLayout {
  std::vector<size_t> Boundaries;
  // Just after the first image's data chain.
  size_t FirstImageEnd = 0;
};
TGIFLayout LayoutOf(const std::vector<uint8_t>& gif);
