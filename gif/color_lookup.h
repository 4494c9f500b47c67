#pragma once
// Colour lookups: from a colour to the index of a palette entry, and the entry's colour.
// The colour reduction and the web-palette drawing map every pixel through one.

#include <cstdint>
#include <vector>

#include "imaging/color.h"

class TColorLookup {
 public:
  virtual ~TColorLookup() = default;
  // Entries of the palette the lookup answers from.
  virtual int Colors() const = 0;
  virtual uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) = 0;
};

// The 216-colour web palette: entry 36 r + 6 g + b is (51 r, 51 g, 51 b) for r, g, b in 0..5.
class TNetscapeColorLookup : public TColorLookup {
 public:
  static constexpr int kLevels = 6;
  static constexpr int kStep = 51;

  int Colors() const override { return kLevels * kLevels * kLevels; }
  // Each component c becomes level (c + 3) div 51, not the nearest multiple of 51.
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) override;
};

// 256 greys, entry i = (i, i, i), chosen by the luminance of the colour.
class TGrayScaleLookup : public TColorLookup {
 public:
  int Colors() const override { return 256; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) override;
};

// Black (0) and white (1), split at half the luminance scale.
class TMonochromeLookup : public TColorLookup {
 public:
  int Colors() const override { return 2; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) override;
};

// Any palette of up to 256 entries. Colours are grouped into cells of 8 x 8 x 8 values; the
// first colour of a cell that is looked up decides, by the smallest sum of component
// differences (the lower index among equals), the entry the whole cell answers. An entry
// owns its own cell from the start, the lower index when two share one.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const TPalette& palette);

  int Colors() const override { return static_cast<int>(palette_.size()); }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) override;

 private:
  static constexpr int kCells = 32768;
  static constexpr int16_t kEmpty = -1;

  static int Cell(uint8_t red, uint8_t green, uint8_t blue) {
    return (red >> 3) + (green >> 3) * 32 + (blue >> 3) * 1024;
  }
  int16_t Nearest(uint8_t red, uint8_t green, uint8_t blue) const;

  TPalette palette_;
  std::vector<int16_t> inverse_;
};

TPalette WebPalette();
