// PNG files from arbitrary bytes: loading must end in an image or EInvalidGraphic, never
// in a crash, a leak or an out-of-bounds access; a loaded image is drawn and saved again.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/canvas.h"
#include "imaging/png_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Larger images are valid but make each run slow and memory-hungry.
constexpr uint64_t kLargestFuzzedPixels = 1 << 20;
// The signature (8 bytes), the IHDR chunk's length and name (8), then width and height.
constexpr size_t kWidthOffset = 16;
constexpr size_t kHeightOffset = 20;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

bool DeclaresHugeImage(const uint8_t* data, size_t size) {
  if (size < kHeightOffset + 4) return false;
  return uint64_t{BigEndian32(data + kWidthOffset)} * BigEndian32(data + kHeightOffset) >
         kLargestFuzzedPixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (DeclaresHugeImage(data, size)) return 0;
  TPNGImage image;
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
    TBitmap target;
    target.SetSize(11, 7);
    target.Canvas().StretchDraw(Rect(0, 0, 11, 7), image);
    TMemoryStream saved;
    image.SaveToStream(saved);
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
