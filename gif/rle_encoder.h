#pragma once
// A GIF encoder without a string dictionary: runs of one pixel are sent as codes that the
// decoder's own table, growing in step, expands to ever longer runs of that pixel. Its
// output is ordinary GIF image data.

#include <cstdint>

#include "gif/gif_encoder.h"

class TRLEEncoder : public TGIFEncoder {
 protected:
  void Compress() override;
  void Clear() override;

 private:
  void PlainOutput(int code);
  void Flush(int pixel, int count);
  void FlushFromClear(int count);
  void FlushClearOrRepeat(int count);
  void FlushWithTable(int count);
  void ResetOutClear();
  // Codes needed to send count pixels of one run after a clear.
  int TriangleCost(int count) const;

  int outBumpInitial_ = 0;
  int outClearInitial_ = 0;
  int outBump_ = 0;
  int outClear_ = 0;
  int outCount_ = 0;
  int maxCodeCount_ = 0;
  int runPixel_ = 0;
  int tablePixel_ = 0;
  int tableLength_ = 0;
};
