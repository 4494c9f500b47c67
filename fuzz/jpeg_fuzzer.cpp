// JPEG files from arbitrary bytes: loading reads the header and refuses non-JPEG data
// with EJPEG; decoding under each combination of settings must end in an image or EJPEG,
// never in a crash or an out-of-bounds access.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Larger images are valid but make each run slow: the reader refuses them at the header,
// which is fuzzed all the same. The default limit is covered by the unit tests.
constexpr int64_t kLargestFuzzedPixels = 1 << 16;

// The first byte picks the decoding settings; the rest is the file.
void ApplySettings(TJPEGImage& image, uint8_t choice) {
  image.SetScale(static_cast<TJPEGScale>(choice & 3));
  image.SetPixelFormat(choice & 4 ? jf8Bit : jf24Bit);
  image.SetGrayscale(choice & 8);
  image.SetPerformance(choice & 16 ? jpBestSpeed : jpBestQuality);
  image.SetProgressiveDisplay(choice & 32);
  image.SetSmoothing(choice & 64);
  if (choice & 128) image.SetPalette({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetImagePixelLimit(kLargestFuzzedPixels);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  TJPEGImage image;
  ApplySettings(image, data[0]);
  TMemoryStream stream(std::vector<uint8_t>(data + 1, data + size));
  try {
    image.LoadFromStream(stream);
    TBitmap target;
    target.SetSize(11, 7);
    target.Canvas().StretchDraw(Rect(0, 0, 11, 7), image);
  } catch (const EJPEG&) {
  }
  return 0;
}
