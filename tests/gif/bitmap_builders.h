#pragma once
// Bitmaps for the writing-side tests: built from a colour function, with random or
// photograph-like content.

#include <functional>
#include <memory>
#include <vector>

#include "imaging/bitmap.h"

using TColorFunction = std::function<TRGBColor(int x, int y)>;

// A 24-bit bitmap of the colours, then converted to the format.
std::unique_ptr<TBitmap> MakeBitmap(int width, int height, const TColorFunction& color,
                                    TPixelFormat format = pf24bit);
// Independent random colours.
std::unique_ptr<TBitmap> RandomBitmap(int width, int height, unsigned seed);
// Smooth gradients and shapes with a little noise, like a satellite or radar picture.
std::unique_ptr<TBitmap> PhotoBitmap(int width, int height, unsigned seed);

TRGBColor PixelAt(const TBitmap& bitmap, int x, int y);
// Pixel values (indices for indexed formats, packed colours otherwise), rows from the top.
std::vector<uint32_t> PixelValues(const TBitmap& bitmap);
