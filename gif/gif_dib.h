#pragma once
// Row access to device-independent bitmaps for the colour reduction: a reader over an
// existing bitmap at a chosen pixel format, and a writer that builds a new 8- or 24-bit
// bitmap row by row. Row 0 is the top row.

#include <cstdint>

#include "imaging/bitmap.h"

class TDIB {
 public:
  int Width() const { return width_; }
  int Height() const { return height_; }
  TPixelFormat PixelFormat() const { return pixelFormat_; }

 protected:
  TDIB(int width, int height, TPixelFormat pixelFormat)
      : width_(width), height_(height), pixelFormat_(pixelFormat) {}
  // Raises EInvalidGraphicOperation "Scan line index out of range".
  void CheckRow(int row) const;

 private:
  int width_;
  int height_;
  TPixelFormat pixelFormat_;
};

// Converts the bitmap to the pixel format in place when made; the bitmap keeps that format.
class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat);
  const uint8_t* ScanLine(int row) const;
  const TDib& Dib() const { return bitmap_.Dib(); }

 private:
  TBitmap& bitmap_;
};

// The colour table of an 8-bit bitmap the writer builds: the palette's first 256 entries,
// padded with black to 256.
TPalette PaddedColorTable(const TPalette& palette);

// Builds the bitmap that a BMP file of this shape would give when read: an 8-bit one gets a
// 256-entry colour table, the palette padded with black, and counts the palette's entries
// (at most 256) as its important colours.
class TDIBWriter : public TDIB {
 public:
  // Raises GIFException "Unsupported PixelFormat" for formats other than 8 and 24 bits,
  // "Invalid image dimensions" for a zero width or height, and "Failed to allocate memory
  // for GIF DIB" when the pixels cannot be had.
  TDIBWriter(int width, int height, TPixelFormat pixelFormat, const TPalette& palette);
  uint8_t* ScanLine(int row);
  // Hands the rows written over to the target; the writer is spent afterwards.
  void Finish(TBitmap& target);

 private:
  TDib dib_;
};
