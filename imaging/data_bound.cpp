#include "imaging/data_bound.h"

#include <limits>

#include "runtime/strings.h"

namespace {
constexpr const char* kTooLittleData = "Too little image data for %lld x %lld pixels";
}  // namespace

int64_t PixelsOfData(int64_t Bytes, double PixelsPerByte) {
  const double pixels = static_cast<double>(Bytes) * PixelsPerByte;
  constexpr auto kMost = static_cast<double>(std::numeric_limits<int64_t>::max() / 2);
  return pixels >= kMost ? static_cast<int64_t>(kMost) : static_cast<int64_t>(pixels);
}

int64_t PixelsBeyondData(int64_t Width, int64_t Height, int64_t DataPixels) {
  const double beyond =
      static_cast<double>(Width) * static_cast<double>(Height) - static_cast<double>(DataPixels);
  constexpr auto kMost = static_cast<double>(std::numeric_limits<int64_t>::max() / 2);
  return beyond <= 0       ? 0
         : beyond >= kMost ? static_cast<int64_t>(kMost)
                           : static_cast<int64_t>(beyond);
}

bool DataCanFill(int64_t Width, int64_t Height, int64_t DataPixels) {
  return PixelsBeyondData(Width, Height, DataPixels) <= kPixelsWithoutData;
}

std::string TooLittleDataText(int64_t Width, int64_t Height) {
  return Format(kTooLittleData, static_cast<long long>(Width), static_cast<long long>(Height));
}
