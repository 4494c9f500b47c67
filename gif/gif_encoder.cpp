#include "gif/gif_encoder.h"

#include <algorithm>
#include <array>

#include "gif/gif_messages.h"
#include "gif/stream_bytes.h"
#include "runtime/exceptions.h"

namespace {

// The GIF interlace passes: first row and row step of each.
constexpr std::array<int, 4> kPassStart = {0, 4, 2, 1};
constexpr std::array<int, 4> kPassStep = {8, 8, 4, 2};
constexpr int kPassCount = 4;

int MaxCodeFor(int bits) {
  return (1 << bits) - 1;
}

}  // namespace

void TGIFEncoder::Encode(TStream& stream, int bitsPerPixel, int colorCount, const uint8_t* data,
                         bool interlaced, int height, int width) {
  if (bitsPerPixel < kMinBitsPerPixel) bitsPerPixel = kMinBitsPerPixel;
  // An index at or above the clear code would be read back as a clear, an end or a string
  // code: it is not in any table the code size can carry.
  colorCount_ = std::min(colorCount, 1 << bitsPerPixel);
  data_ = data;
  interlaced_ = interlaced;
  height_ = height;
  width_ = width;
  WriteByte(stream, static_cast<uint8_t>(bitsPerPixel));

  initialBitsPerCode_ = bitsPerPixel + 1;
  bitsPerCode_ = initialBitsPerCode_;
  maxCode_ = MaxCodeFor(bitsPerCode_);
  clearCode_ = 1 << bitsPerPixel;
  endCode_ = clearCode_ + 1;
  baseCode_ = clearCode_ + 2;
  clearFlag_ = false;

  position_ = 0;
  pixelsLeft_ = interlaced ? width : int64_t{width} * height;
  row_ = 0;
  pass_ = 0;

  writer_.emplace(stream);
  if (data != nullptr && width > 0 && height > 0) Compress();
  Output(endCode_);
  writer_->Finish();
  writer_.reset();
  WriteByte(stream, 0);
}

void TGIFEncoder::Clear() {
  clearFlag_ = true;
  Output(clearCode_);
}

void TGIFEncoder::RaiseColorNotInTable() {
  writer_->WriteWholeBlocks();
  throw GIFException(kGIFColorNotInTable);
}

bool TGIFEncoder::NextRowStart() {
  if (!interlaced_ || !NextRow()) return false;
  pixelsLeft_ = width_;
  position_ = int64_t{row_} * width_;
  return true;
}

bool TGIFEncoder::NextRow() {
  row_ += kPassStep[pass_];
  while (row_ >= height_) {
    if (++pass_ >= kPassCount) return false;
    row_ = kPassStart[pass_];
  }
  return true;
}
