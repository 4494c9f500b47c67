#include "imaging/pixel_limit.h"

#include <atomic>

#include "imaging/dib.h"

namespace {
std::atomic<int64_t> limit{kMaxImagePixels};
}  // namespace

int64_t ImagePixelLimit() {
  return limit.load(std::memory_order_relaxed);
}

void SetImagePixelLimit(int64_t pixels) {
  limit.store(pixels, std::memory_order_relaxed);
}
