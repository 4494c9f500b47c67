// GIF files from arbitrary bytes: the reader must refuse bad data with its error and never
// read or write out of bounds; what it accepts must draw its first frame, as it is and
// through the web palette. An animation is drawn on its painter's thread: a few frames, or
// the first one and then the screen or the palette changes while it plays.

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
constexpr int64_t kLargestFuzzedPixels = 1 << 12;
// An animation is drawn through copies of its whole screen on a thread of its own; a small
// screen keeps that cheap, and the painting steps do not depend on its size.
constexpr int64_t kLargestAnimatedPixels = 1 << 10;
// No wait between frames: a few frames are painted, and then the painter is stopped.
constexpr int kFastSpeed = 100000;
constexpr int kPaintsBeforeStop = 4;
// The shortest frame delay becomes a wait of about two milliseconds, so that the painter
// is still waiting for its next frame when the screen or palette changes under it.
constexpr int kPausingSpeed = 1800;
// A bounded wait for a paint after the change, which a sound painter never makes.
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

void DrawAnimation(TGIFImage& image, int speed, TBitmap& target) {
  image.SetDrawOptions(drAsync | drAnimate | drLoop | drLoopForever | drTransparent);
  image.SetAnimationSpeed(speed);
  target.Canvas().StretchDraw(Rect(0, 0, 13, 7), image);
}

// Frames one after another with their disposals, until the painter's own paint event stops
// it.
void PlayFewFrames(TGIFImage& image) {
  int paints = 0;
  image.OnPaint = [&paints](TGIFPainter& painter) {
    if (++paints >= kPaintsBeforeStop) painter.Stop();
  };
  TBitmap target = SmallTarget();
  try {
    DrawAnimation(image, kFastSpeed, target);
  } catch (const EInvalidGraphic&) {
  }
  image.StopPainters();
  image.OnPaint = nullptr;
}

// Changes what the painter's bitmap depends on while it waits for its next frame: the
// painter must not paint into a bitmap that has gone.
void ChangeWhileAnimating(TGIFImage& image, bool changeWidth) {
  int paints = 0;
  image.OnPaint = [&paints](TGIFPainter&) { ++paints; };
  TBitmap target = SmallTarget();
  try {
    DrawAnimation(image, kPausingSpeed, target);
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
  const bool animated = image.Images().Count() > 1 && image.Width() < UINT16_MAX &&
                        Area(image.Width(), image.Height()) <= kLargestAnimatedPixels;
  if (!animated) return 0;
  // The checked-in crash inputs of 95 and 96 bytes change the palette and the width.
  if (size % 3 == 1) {
    PlayFewFrames(image);
  } else {
    ChangeWhileAnimating(image, size % 2 == 0);
  }
  return 0;
}
