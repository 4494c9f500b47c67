#pragma once
// Colours as the images hold them, and palettes (colour tables).

#include <cstddef>
#include <cstdint>
#include <vector>

struct TRGBColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  friend bool operator==(TRGBColor, TRGBColor) = default;
};

inline constexpr TRGBColor clBlack{0, 0, 0};
inline constexpr TRGBColor clWhite{255, 255, 255};

// A colour table in index order; empty means none.
using TPalette = std::vector<TRGBColor>;
inline constexpr size_t kMaxPaletteEntries = 256;
