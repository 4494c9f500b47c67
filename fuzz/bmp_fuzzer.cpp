// BMP and icon files from arbitrary bytes: the reader must refuse bad data with its error
// and never read or write out of bounds; what it accepts must draw, save, and read back
// to the same pixels.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Images larger than this are valid but only slow the search down: the reader allocates
// what the header declares, however few pixel bytes follow, so it refuses them first. The
// unit tests cover the default limit.
constexpr int64_t kLargestFuzzedPixels = 1 << 16;

void CheckRoundTrip(TBitmap& bitmap) {
  TMemoryStream saved;
  bitmap.SaveToStream(saved);
  saved.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(saved);
  if (back.Dib().Bits != bitmap.Dib().Bits) std::abort();
}

void FuzzBitmap(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  TBitmap bitmap;
  try {
    bitmap.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return;
  }
  TBitmap target;
  target.SetSize(13, 7);
  target.Canvas().StretchDraw(Rect(-3, 1, 11, 9), bitmap);
  CheckRoundTrip(bitmap);
}

void FuzzIcon(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes);
  TIcon icon;
  try {
    icon.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return;
  }
  TBitmap target;
  target.SetSize(9, 9);
  target.Canvas().StretchDraw(Rect(0, 0, 9, 9), icon);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetImagePixelLimit(kLargestFuzzedPixels);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  FuzzBitmap(bytes);
  FuzzIcon(bytes);
  return 0;
}
