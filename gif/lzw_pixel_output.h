#pragma once
// Where a decode writes a frame's pixels, one after another: the frame itself, or a run of
// the rows of an interlaced frame in the order the data holds them, moved into place at
// the end. Whatever ended the decode, the pixels it did not write get the fill (a decoder
// may write bytes of its own past the last pixel it decoded), so that every pixel of the
// frame is written once the output goes.

#include <cstdint>
#include <memory>

class TGIFSubImage;

class TPixelOutput {
 public:
  // Gives the frame new pixels, which the output writes.
  TPixelOutput(TGIFSubImage& frame, uint8_t fill);
  ~TPixelOutput();
  TPixelOutput(const TPixelOutput&) = delete;
  TPixelOutput& operator=(const TPixelOutput&) = delete;

  // The next pixel to write, and the end of the run.
  uint8_t* Next;
  uint8_t* End;

 private:
  void MoveRowsIntoPlace();

  TGIFSubImage& frame_;
  uint8_t* pixels_;
  const uint8_t fill_;
  std::unique_ptr<uint8_t[]> rows_;
};
