#include "gif/rle_encoder.h"

#include <cmath>

namespace {

constexpr int kCodeLimit = 4095;
// Below this many bits per pixel the table is cleared early, after a fixed code count.
constexpr int kSmallTableBits = 3;
constexpr int kSmallTableClear = 9;

}  // namespace

void TRLEEncoder::Clear() {
  outCount_ = 0;
  outBump_ = outBumpInitial_;
  outClear_ = outClearInitial_;
  tableLength_ = 0;
  TGIFEncoder::Clear();
  bitsPerCode_ = initialBitsPerCode_;
}

void TRLEEncoder::PlainOutput(int code) {
  clearFlag_ = false;
  Output(code);
  ++outCount_;
  if (outCount_ >= outBump_) {
    outBump_ += 1 << bitsPerCode_;
    ++bitsPerCode_;
  }
  if (outCount_ >= outClear_) Clear();
}

void TRLEEncoder::ResetOutClear() {
  outClear_ = outClearInitial_;
  if (outCount_ >= outClear_) Clear();
}

int TRLEEncoder::TriangleCost(int count) const {
  const int64_t m = maxCodeCount_;
  const int64_t perTable = m * (m + 1) / 2;
  int64_t left = count;
  int64_t cost = 0;
  for (; left >= perTable; left -= perTable) cost += m;
  if (left > 0) {
    int64_t k = static_cast<int64_t>(std::sqrt(static_cast<double>(left)));
    while (k > 0 && k * (k + 1) >= 2 * left) --k;
    while (k * (k + 1) < 2 * left) ++k;
    cost += k;
  }
  return static_cast<int>(cost);
}

void TRLEEncoder::FlushFromClear(int count) {
  outClear_ = maxCodeCount_;
  tablePixel_ = runPixel_;
  for (int k = 1; count > 0; k = outCount_ == 0 ? 1 : k + 1) {
    if (k == 1) {
      tableLength_ = 1;
      PlainOutput(runPixel_);
      --count;
    } else if (count >= k) {
      tableLength_ = k;
      PlainOutput(baseCode_ + k - 2);
      count -= k;
    } else if (count == 1) {
      ++tableLength_;
      PlainOutput(runPixel_);
      count = 0;
    } else {
      ++tableLength_;
      PlainOutput(baseCode_ + count - 2);
      count = 0;
    }
  }
  ResetOutClear();
}

void TRLEEncoder::FlushClearOrRepeat(int count) {
  if (1 + TriangleCost(count) < count) {
    Clear();
    FlushFromClear(count);
    return;
  }
  for (; count > 0; --count) PlainOutput(runPixel_);
}

void TRLEEncoder::FlushWithTable(int count) {
  int repeats = count / tableLength_;
  int leftover = count % tableLength_;
  int leftoverCodes = leftover > 0 ? 1 : 0;
  if (outCount_ + repeats + leftoverCodes > maxCodeCount_) {
    repeats = maxCodeCount_ - outCount_;
    leftover = count - repeats * tableLength_;
    leftoverCodes = 1 + TriangleCost(leftover);
  }
  if (1 + TriangleCost(count) < repeats + leftoverCodes) {
    Clear();
    FlushFromClear(count);
    return;
  }
  outClear_ = maxCodeCount_;
  for (; repeats > 0; --repeats) PlainOutput(baseCode_ + tableLength_ - 2);
  if (leftover > 0) {
    if (clearFlag_) {
      FlushFromClear(leftover);
    } else if (leftover == 1) {
      PlainOutput(runPixel_);
    } else {
      PlainOutput(baseCode_ + leftover - 2);
    }
  }
  ResetOutClear();
}

void TRLEEncoder::Flush(int pixel, int count) {
  runPixel_ = pixel;
  if (count == 1) {
    PlainOutput(pixel);
  } else if (clearFlag_) {
    FlushFromClear(count);
  } else if (tableLength_ < 2 || tablePixel_ != pixel) {
    FlushClearOrRepeat(count);
  } else {
    FlushWithTable(count);
  }
}

void TRLEEncoder::Compress() {
  const int bitsPerPixel = initialBitsPerCode_ - 1;
  outBumpInitial_ = clearCode_ - 1;
  outClearInitial_ = bitsPerPixel > kSmallTableBits ? clearCode_ - 2 : kSmallTableClear;
  maxCodeCount_ = kCodeLimit - baseCode_;
  Clear();

  int pixel = Pixel();
  int count = 1;
  while (NextPixel()) {
    const int next = Pixel();
    if (next == pixel) {
      ++count;
      continue;
    }
    Flush(pixel, count);
    pixel = next;
    count = 1;
  }
  Flush(pixel, count);
}
