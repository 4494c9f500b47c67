// TIFF and Netpbm files from arbitrary bytes, read as the image viewer reads them: every
// page, then the display graphic at a zoom. Reading must end in an image or in the
// image library's errors, never in a crash, an out-of-bounds access or a leak.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/image_library.h"
#include "imaging/image_scroll_box.h"
#include "imaging/ppm_graphic.h"
#include "imaging/tiff_graphic.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Larger images are valid but make each run slow and memory-hungry; the refusal of sizes
// over the library's limit is fuzzed all the same.
constexpr int64_t kLargestFuzzedPixels = 1 << 16;
constexpr int kZoomModes = zmFitToPage + 1;

// First read with a small pixel budget; only what fits it goes on through the viewer.
bool FitsTheBudget(TDibGraphic& graphic, const std::vector<uint8_t>& file) {
  TMemoryStream stream(file);
  graphic.SetMaxPixels(kLargestFuzzedPixels);
  graphic.SetReadAllPages(true);
  try {
    graphic.LoadFromStream(stream);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void ThroughTheViewer(const std::vector<uint8_t>& file, const char* name, uint8_t choice) {
  TImageScrollBox viewer;
  viewer.SetZoomMode(static_cast<TZoomMode>(choice % kZoomModes));
  viewer.SetZoomPercent(25 + choice);
  viewer.SetAntiAliased(choice & 1);
  viewer.SetCentred(choice & 2);
  TMemoryStream stream(file);
  try {
    viewer.LoadFromStream(stream, name, 0);
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TImageLibraryFormats formats;
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const std::vector<uint8_t> file(data + 1, data + size);
  TTiffGraphic tiff;
  if (FitsTheBudget(tiff, file)) ThroughTheViewer(file, "fuzz.tif", choice);
  TPpmGraphic ppm;
  if (FitsTheBudget(ppm, file)) ThroughTheViewer(file, "fuzz.ppm", choice);
  return 0;
}
