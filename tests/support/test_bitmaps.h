#pragma once
// Bitmaps the tests draw, encode and compare: one colour, or a pattern with a different
// colour in each part so that a mirrored, shifted or cut picture shows.

#include "imaging/bitmap.h"
#include "imaging/color.h"

TBitmap Filled(int width, int height, TRGBColor color);

// The left half (rounded up) red (200, 40, 40), the top half of the rest blue
// (40, 40, 200), the bottom right white.
TBitmap Pattern(int width, int height);
