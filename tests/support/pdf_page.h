#pragma once
// A printed PDF page as pixels, rasterised by poppler's pdftoppm, and what the printing
// tests measure on it.

#include <string>

#include "tests/support/rgb_image.h"

class TempDir;

bool NearColor(TRGBColor a, TRGBColor b, int tolerance = 8);

struct PageBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// The smallest box around every pixel that is not white paper.
PageBox InkedBox(const TRgbImage& page);

// The first page of the PDF at the resolution; empty when that fails.
TRgbImage RasterisePdf(const TempDir& dir, const std::string& pdf, int dpi);
