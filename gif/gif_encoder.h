#pragma once
// Compression of a frame's pixel indices into GIF image data: the minimum code size byte,
// the data sub-blocks and the terminator. The base packs codes least significant bit first
// into 255-byte sub-blocks and walks the pixels in file order (interlaced or not); the
// derived encoders choose the codes.

#include <cstdint>
#include <optional>

#include "gif/lzw_code_writer.h"
#include "runtime/stream.h"

class TGIFEncoder {
 public:
  static constexpr int kMinBitsPerPixel = 2;
  static constexpr int kMaxBitsPerCode = 12;

  virtual ~TGIFEncoder() = default;
  // Writes the complete image data of one frame. Raises GIFException "Color not in color
  // table" for a pixel not below colorCount, or not below the clear code of bitsPerPixel;
  // the whole sub-blocks written until then stay.
  void Encode(TStream& stream, int bitsPerPixel, int colorCount, const uint8_t* data,
              bool interlaced, int height, int width);

 protected:
  virtual void Compress() = 0;
  virtual void Clear();
  // Only the code's low bitsPerCode_ bits are written.
  void Output(int code) {
    writer_->Put(static_cast<uint32_t>(code) & ((1u << bitsPerCode_) - 1), bitsPerCode_);
  }
  TCodeWriter& Writer() { return *writer_; }

  // The pixel at the current position, checked against the colour count.
  uint8_t Pixel() {
    const uint8_t pixel = data_[position_];
    if (pixel >= colorCount_) RaiseColorNotInTable();
    return pixel;
  }
  // Moves to the next pixel in file order; false when the frame is done. Inline: it runs
  // once per pixel.
  bool NextPixel() {
    if (--pixelsLeft_ > 0) {
      ++position_;
      return true;
    }
    return NextRowStart();
  }
  // The pixels from the current one to the end of its run in memory: the rest of the frame,
  // or of the row when interlaced. An encoder may walk them itself, checking each against
  // ColorCount(), and then go on with NextRun.
  const uint8_t* RunBegin() const { return data_ + position_; }
  int64_t RunLength() const { return pixelsLeft_; }
  // Moves to the first pixel of the next run; false when the frame is done.
  bool NextRun() { return NextRowStart(); }
  int ColorCount() const { return colorCount_; }
  // All the frame's pixels, in memory order.
  const uint8_t* FramePixels() const { return data_; }
  int64_t FramePixelCount() const { return int64_t{width_} * height_; }
  // Writes the whole sub-blocks of the codes put so far, then raises.
  [[noreturn]] void RaiseColorNotInTable();

  int initialBitsPerCode_ = 0;
  int bitsPerCode_ = 0;
  int maxCode_ = 0;
  int clearCode_ = 0;
  int endCode_ = 0;
  int baseCode_ = 0;
  bool clearFlag_ = false;

 private:
  bool NextRowStart();
  bool NextRow();

  std::optional<TCodeWriter> writer_;
  int colorCount_ = 0;
  const uint8_t* data_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool interlaced_ = false;
  int64_t position_ = 0;
  int64_t pixelsLeft_ = 0;
  int row_ = 0;
  int pass_ = 0;
};
