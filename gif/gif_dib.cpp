#include "gif/gif_dib.h"

#include <algorithm>
#include <new>
#include <utility>

#include "gif/gif_messages.h"
#include "runtime/exceptions.h"

namespace {

constexpr size_t kTableEntries = 256;

}  // namespace

TPalette PaddedColorTable(const TPalette& palette) {
  TPalette table(palette.begin(),
                 palette.begin() + static_cast<ptrdiff_t>(std::min(palette.size(), kTableEntries)));
  table.resize(kTableEntries, clBlack);
  return table;
}

void TDIB::CheckRow(int row) const {
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation(kScanLineOutOfRange);
}

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat)
    : TDIB(bitmap.Width(), bitmap.Height(), pixelFormat), bitmap_(bitmap) {
  bitmap.SetPixelFormat(pixelFormat);
}

const uint8_t* TDIBReader::ScanLine(int row) const {
  CheckRow(row);
  return std::as_const(bitmap_).ScanLine(row);
}

TDIBWriter::TDIBWriter(int width, int height, TPixelFormat pixelFormat, const TPalette& palette)
    : TDIB(width, height, pixelFormat) {
  if (pixelFormat != pf8bit && pixelFormat != pf24bit)
    throw GIFException(kGIFUnsupportedPixelFormat);
  if (width <= 0 || height <= 0) throw GIFException(kGIFInvalidDimensions);
  if (int64_t{width} * height > kMaxImagePixels) throw GIFException(kGIFOutOfMemory);
  dib_.Width = width;
  dib_.Height = height;
  dib_.PixelFormat = pixelFormat;
  if (pixelFormat == pf8bit) {
    dib_.Palette = PaddedColorTable(palette);
    dib_.ClrImportant = static_cast<uint32_t>(std::min(palette.size(), kTableEntries));
  }
  try {
    dib_.Bits.assign(static_cast<size_t>(dib_.RowSize() * height), 0);
  } catch (const std::bad_alloc&) {
    throw GIFException(kGIFOutOfMemory);
  }
}

uint8_t* TDIBWriter::ScanLine(int row) {
  CheckRow(row);
  return dib_.Row(row);
}

void TDIBWriter::Finish(TBitmap& target) {
  target.SetDib(std::move(dib_));
}
