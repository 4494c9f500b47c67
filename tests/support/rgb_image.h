#pragma once
// An image as a peer tool writes it in a binary 8-bit PPM file (ImageMagick's convert,
// poppler's pdftoppm): RGB rows from the top.

#include <string>
#include <vector>

#include "imaging/color.h"

struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;
  // The pixel that holds the point (x, y).
  TRGBColor At(double x, double y) const;
};

// Empty when the file is missing, short, or not a binary PPM.
TRgbImage ReadRgbPpm(const std::string& fileName);
