#pragma once
// Compression of a frame's pixel indices into GIF image data: the minimum code size byte,
// the data sub-blocks and the terminator. The base packs codes least significant bit first
// into 255-byte sub-blocks and walks the pixels in file order (interlaced or not); the
// derived encoders choose the codes.

#include <array>
#include <cstdint>

#include "runtime/stream.h"

// Packs bytes into sub-blocks of up to 255 bytes, each after its length byte. Flush writes
// a last partial block; a block of length 0 is never written.
class TGIFWriter {
 public:
  static constexpr int kMaxBlockSize = 255;

  explicit TGIFWriter(TStream& stream) : stream_(stream) {}
  void Write(uint8_t byte) {
    buffer_[fill_++] = byte;
    if (fill_ > kMaxBlockSize) WriteBlock();
  }
  void Flush();

 private:
  void WriteBlock();

  TStream& stream_;
  std::array<uint8_t, kMaxBlockSize + 1> buffer_{};
  int fill_ = 1;
};

class TGIFEncoder {
 public:
  static constexpr int kMinBitsPerPixel = 2;
  static constexpr int kMaxBitsPerCode = 12;

  virtual ~TGIFEncoder() = default;
  // Writes the complete image data of one frame. Raises GIFException "Color not in color
  // table" for a pixel not below colorCount, or not below the clear code of bitsPerPixel;
  // what was written until then stays.
  void Encode(TStream& stream, int bitsPerPixel, int colorCount, const uint8_t* data,
              bool interlaced, int height, int width);

 protected:
  virtual void Compress() = 0;
  virtual void Output(int code);
  virtual void Clear();

  // The pixel at the current position, checked against the colour count.
  uint8_t Pixel() const {
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
  [[noreturn]] static void RaiseColorNotInTable();

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

  TGIFWriter* writer_ = nullptr;
  uint32_t bucket_ = 0;
  int bucketBits_ = 0;
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
