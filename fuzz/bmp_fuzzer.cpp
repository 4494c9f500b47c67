// BMP and icon files from arbitrary bytes: the reader must refuse bad data with its error
// and never read or write out of bounds; what it accepts must draw, save, and read back
// to the same pixels.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp_format.h"
#include "imaging/byte_order.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Images larger than this are valid but only slow the search down: the reader allocates
// what the header declares, however few pixel bytes follow. The unit tests cover the
// size limits themselves.
constexpr int64_t kLargestFuzzedPixels = 1 << 16;
constexpr int64_t kLargestDeclaredPixels = 1 << 20;

// A side of 0 counts as 1: rows without pixels still cost a loop each.
int64_t Area(int64_t width, int64_t height) {
  return std::max<int64_t>(std::abs(width), 1) * std::max<int64_t>(std::abs(height), 1);
}

// The size the BMP header, or the header of an icon's first image, declares.
int64_t DeclaredPixels(const std::vector<uint8_t>& bytes) {
  const uint8_t* p = bytes.data();
  if (bytes.size() >= 26 && LoadLE16(p) == kBmpSignature) {
    if (LoadLE32(p + 14) == kBmpCoreHeaderSize) return Area(LoadLE16(p + 18), LoadLE16(p + 20));
    return Area(static_cast<int32_t>(LoadLE32(p + 18)), static_cast<int32_t>(LoadLE32(p + 22)));
  }
  if (bytes.size() < 22) return 0;
  const uint32_t image = LoadLE32(p + 18);
  if (image > bytes.size() - 12) return 0;
  return Area(static_cast<int32_t>(LoadLE32(p + image + 4)),
              static_cast<int32_t>(LoadLE32(p + image + 8)) / 2);
}

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
  if (int64_t{bitmap.Width()} * bitmap.Height() > kLargestFuzzedPixels) return;
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  if (DeclaredPixels(bytes) > kLargestDeclaredPixels) return 0;
  FuzzBitmap(bytes);
  FuzzIcon(bytes);
  return 0;
}
