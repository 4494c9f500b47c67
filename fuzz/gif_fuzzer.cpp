// GIF files from arbitrary bytes: the reader must refuse bad data with its error and never
// read or write out of bounds; what it accepts must draw its first frame, as it is and
// through the web palette, or refuse it with its error (a file without any colour table).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/gif_image.h"
#include "gif/gif_sub_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Frames larger than this are valid but only slow the search down; the size limits
// themselves are covered by the unit tests.
constexpr int64_t kLargestDrawnPixels = 1 << 18;

int64_t Area(int width, int height) {
  return int64_t{width} * height;
}

bool SmallEnoughToDraw(TGIFImage& image) {
  if (Area(image.Width(), image.Height()) > kLargestDrawnPixels) return false;
  TGIFSubImage& first = image.Images()[0];
  return Area(first.Width(), first.Height()) <= kLargestDrawnPixels;
}

void DrawFirstFrame(TGIFImage& image, TGIFDrawOptions options) {
  image.SetDrawOptions(options);
  TBitmap target;
  target.SetSize(13, 7);
  try {
    target.Canvas().StretchDraw(Rect(-3, 1, 11, 9), image);
  } catch (const EInvalidGraphic&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TGIFImage image;
  try {
    image.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (image.Empty() || !SmallEnoughToDraw(image)) return 0;
  DrawFirstFrame(image, drTransparent);
  DrawFirstFrame(image, drTransparent | drWebPalette | drTile);
  return 0;
}
