// GIF files from arbitrary bytes: the reader must refuse bad data with its error and never
// read or write out of bounds; what it accepts must draw its first frame, as it is and
// through the web palette. An animation is drawn on its painter's thread, and the screen
// or the palette changes while it plays.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/gif_image.h"
#include "gif/gif_painter.h"
#include "gif/gif_sub_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/message_loop.h"
#include "runtime/stream.h"

namespace {

// Larger frames are valid but only slow the search down: the reader refuses them before it
// allocates. The default limits themselves are covered by the unit tests.
constexpr int64_t kLargestFuzzedPixels = 1 << 14;
// Frame delays of a few milliseconds, and a bounded wait for the next one.
constexpr int kFastSpeed = 100000;
constexpr int kMaxWaits = 20;
constexpr int kWaitMs = 5;

int64_t Area(int width, int height) {
  return int64_t{width} * height;
}

bool SmallEnoughToDraw(TGIFImage& image) {
  return Area(image.Width(), image.Height()) <= kLargestFuzzedPixels;
}

// Tiles of a one-pixel frame cover the whole rectangle, one stretch each: a small one keeps
// every tiny input fast and still clips tiles on each side.
const TRect kTiledRect = Rect(-1, -1, 4, 3);

TBitmap SmallTarget() {
  TBitmap target;
  target.SetSize(13, 7);
  return target;
}

void DrawFirstFrame(TGIFImage& image, TGIFDrawOptions options, const TRect& rect) {
  image.SetDrawOptions(options);
  TBitmap target = SmallTarget();
  try {
    target.Canvas().StretchDraw(rect, image);
  } catch (const EInvalidGraphic&) {
  }
}

// Starts the threaded painter, changes what its bitmap depends on, and lets it go on
// painting for a little while: the painter must not paint into a bitmap that has gone.
void ChangeWhileAnimating(TGIFImage& image, bool changeWidth) {
  image.SetDrawOptions(drAsync | drAnimate | drLoop | drLoopForever | drTransparent);
  image.SetAnimationSpeed(kFastSpeed);
  int paints = 0;
  image.OnPaint = [&paints](TGIFPainter&) { ++paints; };
  TBitmap target = SmallTarget();
  try {
    target.Canvas().StretchDraw(Rect(0, 0, 13, 7), image);
    const int before = paints;
    if (changeWidth) {
      image.SetWidth(image.Width() + 1);
    } else {
      image.SetPalette({{1, 2, 3}, {4, 5, 6}});
    }
    MessageLoop& loop = MessageLoop::Current();
    for (int i = 0; i < kMaxWaits && paints == before && image.DrawPainter() != nullptr; ++i) {
      loop.ProcessMessages();
      loop.WaitMessage(kWaitMs);
    }
  } catch (const EInvalidGraphic&) {
  }
  image.StopPainters();
  image.OnPaint = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetImagePixelLimit(kLargestFuzzedPixels);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TGIFImage image;
  try {
    image.LoadFromStream(stream);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (image.Empty() || !SmallEnoughToDraw(image)) return 0;
  DrawFirstFrame(image, drTransparent, Rect(-3, 1, 11, 9));
  DrawFirstFrame(image, drTransparent | drWebPalette | drTile, kTiledRect);
  if (image.Images().Count() > 1 && image.Width() < UINT16_MAX) {
    ChangeWhileAnimating(image, size % 2 == 0);
  }
  return 0;
}
