#pragma once
// The values a frame's pixels take, numbered in order, when there are few of them: a chart
// saved with the 256 entries of the web palette uses two or three, and the encoder's
// dictionary can then be read directly, as for a table of few colours.

#include <array>
#include <cstdint>
#include <optional>

struct TDenseValues {
  // The number of each value taken, 0 up to Count - 1 in the order of the values.
  std::array<uint8_t, 256> Number{};
  int Count = 0;
};

// None when the count pixels take more than most values.
std::optional<TDenseValues> FewValues(const uint8_t* pixels, int64_t count, int most);
