// TIFF and Netpbm files from arbitrary bytes, fed whole, read as the image viewer reads
// them: every page, then the display graphic at a zoom chosen by the file's size (never
// above 100 percent: a fit-to-the-window zoom of a tall thin page would cost what the zoom
// makes, not what the bytes do). Reading must end in an image or in the image library's
// errors, never in a crash, an out-of-bounds access or a leak.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/image_library.h"
#include "imaging/image_scroll_box.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr int kLeastZoom = 10;

void ThroughTheViewer(const std::vector<uint8_t>& file, const char* name) {
  const size_t choice = file.size();
  TImageScrollBox viewer;
  viewer.SetZoomMode(choice & 4 ? zmPercent : zmOriginalSize);
  viewer.SetZoomPercent(kLeastZoom + static_cast<int>(choice % (100 - kLeastZoom + 1)));
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
  const std::vector<uint8_t> file(data, data + size);
  ThroughTheViewer(file, "fuzz.tif");
  ThroughTheViewer(file, "fuzz.ppm");
  return 0;
}
