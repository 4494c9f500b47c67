#include "gif/gif_dib.h"

#include <algorithm>
#include <new>
#include <utility>

#include "gif/gif_messages.h"
#include "imaging/bmp_format.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr int kTableEntries = 256;
constexpr uint16_t kPlanes = 1;

void PutLE16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(uint8_t* at, uint32_t value) {
  PutLE16(at, value & 0xFFFF);
  PutLE16(at + 2, value >> 16);
}

int64_t TableSize(TPixelFormat format) {
  return format == pf8bit ? kTableEntries * kBmpQuadSize : 0;
}

}  // namespace

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
    : TDIB(width, height, pixelFormat), rowSize_(BytesPerRow(width, pixelFormat)) {
  if (pixelFormat != pf8bit && pixelFormat != pf24bit)
    throw GIFException(kGIFUnsupportedPixelFormat);
  if (width <= 0 || height <= 0) throw GIFException(kGIFInvalidDimensions);
  if (int64_t{width} * height > kMaxImagePixels) throw GIFException(kGIFOutOfMemory);
  pixelOffset_ = kBmpFileHeaderSize + kBmpInfoHeaderSize + TableSize(pixelFormat);
  try {
    file_.assign(static_cast<size_t>(pixelOffset_ + rowSize_ * height), 0);
  } catch (const std::bad_alloc&) {
    throw GIFException(kGIFOutOfMemory);
  }
  WriteHeaders(palette);
}

void TDIBWriter::WriteHeaders(const TPalette& palette) {
  uint8_t* header = file_.data();
  PutLE16(header, kBmpSignature);
  PutLE32(header + 2, static_cast<uint32_t>(file_.size()));
  PutLE32(header + 10, static_cast<uint32_t>(pixelOffset_));
  uint8_t* info = header + kBmpFileHeaderSize;
  PutLE32(info, kBmpInfoHeaderSize);
  PutLE32(info + 4, static_cast<uint32_t>(Width()));
  // A positive height: the rows are stored bottom-up.
  PutLE32(info + 8, static_cast<uint32_t>(Height()));
  PutLE16(info + 12, kPlanes);
  PutLE16(info + 14, static_cast<uint32_t>(BitsPerPixel(PixelFormat())));
  PutLE32(info + 16, biRGB);
  PutLE32(info + 20, static_cast<uint32_t>(rowSize_ * Height()));
  if (PixelFormat() != pf8bit) return;
  const size_t entries = std::min(palette.size(), size_t{kTableEntries});
  PutLE32(info + 32, kTableEntries);
  PutLE32(info + 36, static_cast<uint32_t>(entries));
  uint8_t* quad = info + kBmpInfoHeaderSize;
  for (size_t i = 0; i < entries; ++i, quad += kBmpQuadSize) {
    quad[0] = palette[i].Blue;
    quad[1] = palette[i].Green;
    quad[2] = palette[i].Red;
  }
}

uint8_t* TDIBWriter::ScanLine(int row) {
  CheckRow(row);
  return file_.data() + pixelOffset_ + (Height() - 1 - row) * rowSize_;
}

void TDIBWriter::Finish(TBitmap& target) {
  TMemoryStream stream(std::move(file_));
  target.LoadFromStream(stream);
}
