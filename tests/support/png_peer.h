#pragma once
// PNG files written and read by libpng directly, as an independent peer of the program's
// PNG graphic.

#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/color.h"

struct PeerPng {
  int Width = 0;
  int Height = 0;
  int ColorType = 0;  // PNG_COLOR_TYPE_...
  int BitDepth = 8;
  bool Interlaced = false;
  // Row by row from the top, channel by channel, at the file's bit depth; palette indices
  // for palette images.
  std::vector<uint16_t> Samples;
  TPalette Palette;
  // tRNS: the alpha of each palette entry, or the one fully transparent grey (first
  // value) or RGB sample.
  std::vector<uint8_t> PaletteAlpha;
  std::optional<std::vector<uint16_t>> TransparentSample;
};

// Samples per pixel of the colour type.
int PeerChannels(int ColorType);

// The file libpng writes; fails the running test (and answers empty) when libpng refuses.
std::vector<uint8_t> WriteLibpngPng(const PeerPng& png);

// What libpng reads from an opaque 8-bit PNG: RGB rows from the top. Empty when it fails.
struct PeerRgb {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;
};
PeerRgb ReadLibpngRgb(const std::vector<uint8_t>& bytes);
