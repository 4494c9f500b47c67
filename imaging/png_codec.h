#pragma once
// The libpng binding: PNG bytes to a 24-bit device-independent bitmap and back. libpng is
// C and leaves on errors by longjmp; everything that jumps stays inside png_codec.cpp,
// and its errors come out of here as EInvalidGraphic with libpng's message.

#include <cstdint>
#include <vector>

#include "imaging/dib.h"

// Every colour type and bit depth, interlaced or not, becomes 24 bits per pixel (16-bit
// samples keep their high byte); alpha and tRNS transparency are composited over white.
// An image of more than ImagePixelLimit() pixels raises before its pixels are allocated.
// A file that ends inside the pixel data keeps the rows decoded so far (the rest white) and
// sets EndsEarly when given; without it, that raises like any other failure.
TDib DecodePNG(const std::vector<uint8_t>& Bytes, bool* EndsEarly = nullptr);

// A non-interlaced 8-bit RGB PNG of the dib at libpng's default compression: lossless for
// every pixel format. An empty dib raises.
std::vector<uint8_t> EncodePNG(const TDib& Dib);
