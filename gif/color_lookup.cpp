#include "gif/color_lookup.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kLevelBias = 3;
// Luminance weights in 256ths.
constexpr int kRedWeight = 77;
constexpr int kGreenWeight = 150;
constexpr int kBlueWeight = 29;
// White from a luminance above 127 (in 256ths: 127 * 256 + 1).
constexpr int kMonochromeThreshold = 32513;
// Larger than any sum of component differences.
constexpr int kFarthest = 196608;

int Level(uint8_t component) {
  return (component + kLevelBias) / TNetscapeColorLookup::kStep;
}

int Luminance(uint8_t red, uint8_t green, uint8_t blue) {
  return kRedWeight * red + kGreenWeight * green + kBlueWeight * blue;
}

}  // namespace

uint8_t TNetscapeColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) {
  const int r = Level(red), g = Level(green), b = Level(blue);
  chosen = {static_cast<uint8_t>(r * kStep), static_cast<uint8_t>(g * kStep),
            static_cast<uint8_t>(b * kStep)};
  return static_cast<uint8_t>(b + kLevels * g + kLevels * kLevels * r);
}

uint8_t TGrayScaleLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) {
  const auto grey = static_cast<uint8_t>(Luminance(red, green, blue) >> 8);
  chosen = {grey, grey, grey};
  return grey;
}

uint8_t TMonochromeLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) {
  const bool white = Luminance(red, green, blue) >= kMonochromeThreshold;
  chosen = white ? clWhite : clBlack;
  return white ? 1 : 0;
}

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : palette_(palette.begin(), palette.begin() + std::min(palette.size(), kMaxPaletteEntries)),
      inverse_(kCells, kEmpty) {
  for (size_t i = 0; i < palette_.size(); ++i) {
    int16_t& cell = inverse_[Cell(palette_[i].Red, palette_[i].Green, palette_[i].Blue)];
    if (cell == kEmpty) cell = static_cast<int16_t>(i);
  }
}

int16_t TFastColorLookup::Nearest(uint8_t red, uint8_t green, uint8_t blue) const {
  int16_t best = 0;
  int bestDistance = kFarthest;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const TRGBColor& entry = palette_[i];
    const int distance =
        std::abs(entry.Red - red) + std::abs(entry.Green - green) + std::abs(entry.Blue - blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int16_t>(i);
    }
  }
  return best;
}

uint8_t TFastColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, TRGBColor& chosen) {
  int16_t& cell = inverse_[Cell(red, green, blue)];
  if (cell == kEmpty) {
    if (palette_.empty()) {
      chosen = clBlack;
      return 0;
    }
    cell = Nearest(red, green, blue);
  }
  chosen = palette_[static_cast<size_t>(cell)];
  return static_cast<uint8_t>(cell);
}

TPalette WebPalette() {
  TPalette palette;
  constexpr int kLevels = TNetscapeColorLookup::kLevels;
  constexpr int kStep = TNetscapeColorLookup::kStep;
  for (int r = 0; r < kLevels; ++r) {
    for (int g = 0; g < kLevels; ++g) {
      for (int b = 0; b < kLevels; ++b) {
        palette.push_back({static_cast<uint8_t>(r * kStep), static_cast<uint8_t>(g * kStep),
                           static_cast<uint8_t>(b * kStep)});
      }
    }
  }
  return palette;
}
