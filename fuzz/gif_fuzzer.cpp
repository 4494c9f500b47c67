// GIF files from arbitrary bytes, taken as far as a download goes. The reader must refuse
// bad data with its error and never read or write out of bounds, with no pixel limit but
// the program's. What it accepts must draw its first frame, as it is and through the web
// palette; and must be written again, as it was read (with the LZW or the RLE encoder) or
// as the program saves a GIF (a picture of it reduced to a palette by one of the methods
// and ditherers), and read back to the same first picture. An animation is drawn on
// its painter's thread: a few frames, or the first one and then the screen or the palette
// changes while it plays. Which way of writing, encoder, method and ditherer come from a
// hash of the bytes, so that a real file fed as it is gets as far as the rest.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/drawn_pixels.h"
#include "gif/gif_image.h"
#include "gif/gif_painter.h"
#include "gif/gif_sub_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/message_loop.h"
#include "runtime/stream.h"

namespace {

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
// The picture the program would save is drawn at most this large on each side.
constexpr int kLargestSavedSide = 16;
constexpr int kReductionMethods = rmPalette + 1;
constexpr int kDitherModes = dmBurkes + 1;
constexpr int kReductionBits = 8;

int64_t Area(int width, int height) {
  return int64_t{width} * height;
}

// The choices taken one after another from an FNV-1a hash of the input, so that every
// byte steers them, each a number below its count.
class TChoices {
 public:
  TChoices(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) rest_ = (rest_ ^ data[i]) * 16777619u;
  }
  int Next(int count) {
    const int value = static_cast<int>(rest_ % static_cast<uint32_t>(count));
    rest_ /= static_cast<uint32_t>(count);
    return value;
  }

 private:
  uint32_t rest_ = 2166136261u;
};

TGIFCompression ChooseCompression(TChoices& choose) {
  return choose.Next(2) == 0 ? gcLZW : gcRLE;
}

// Every frame's pixels, as the program's painter asks for them frame by frame, whatever
// their size: memory follows what the data can make.
void DecodeEveryFrame(TGIFImage& image) {
  for (int i = 0; i < image.Images().Count(); ++i) image.Images()[i].Decode();
}

int64_t LargestFramePixels(TGIFImage& image) {
  int64_t largest = 0;
  for (int i = 0; i < image.Images().Count(); ++i) {
    const TGIFSubImage& frame = image.Images()[i];
    if (frame.HoldsPixels()) largest = std::max(largest, Area(frame.Width(), frame.Height()));
  }
  return largest;
}

// The first frame with pixels; null when no frame has any.
TGIFSubImage* FirstPicture(TGIFImage& image) {
  for (int i = 0; i < image.Images().Count(); ++i) {
    if (!image.Images()[i].Empty()) return &image.Images()[i];
  }
  return nullptr;
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

// What the writer made of a picture must read back, to the same first picture; a failure
// to read it is left to raise.
void ExpectSameFirstPicture(TGIFSubImage* written, TMemoryStream& stream) {
  if (written == nullptr) return;
  stream.SetPosition(0);
  TGIFImage reread;
  reread.LoadFromStream(stream);
  TGIFSubImage* read = FirstPicture(reread);
  if (read == nullptr || read->Width() != written->Width() || read->Height() != written->Height() ||
      !std::equal(read->Data(), read->Data() + read->DataSize(), written->Data())) {
    __builtin_trap();
  }
}

void WriteAsRead(TGIFImage& image, TGIFCompression compression) {
  image.SetCompression(compression);
  TMemoryStream written;
  try {
    image.SaveToStream(written);
  } catch (const EInvalidGraphic&) {
    return;
  }
  ExpectSameFirstPicture(FirstPicture(image), written);
}

// As the program saves a GIF: the picture drawn onto a bitmap, reduced to a palette.
void SaveReduced(TGIFImage& image, TChoices& choose) {
  const int width = 1 + choose.Next(kLargestSavedSide);
  const int height = 1 + choose.Next(kLargestSavedSide);
  TBitmap picture;
  picture.SetSize(width, height);
  image.SetDrawOptions(drTransparent);
  picture.Canvas().StretchDraw(Rect(0, 0, width, height), image);
  TGIFImage saved;
  saved.SetColorReduction(static_cast<TColorReduction>(choose.Next(kReductionMethods)));
  saved.SetDitherMode(static_cast<TDitherMode>(choose.Next(kDitherModes)));
  saved.SetReductionBits(1 + choose.Next(kReductionBits));
  saved.SetCompression(ChooseCompression(choose));
  TMemoryStream written;
  try {
    saved.Assign(picture);
    saved.SaveToStream(written);
  } catch (const EInvalidGraphic&) {
    return;
  }
  ExpectSameFirstPicture(FirstPicture(saved), written);
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream(std::vector<uint8_t>(data, data + size));
  TGIFImage image;
  try {
    image.LoadFromStream(stream);
    DecodeEveryFrame(image);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (LargestFramePixels(image) > kLargestDrawnPixels) return 0;
  DrawFirstFrame(image, drTransparent, Rect(-3, 1, 11, 9));
  DrawFirstFrame(image, drTransparent | drWebPalette | drTile, kTiledRect);
  // One way of writing for each input keeps the search fast; the inputs reach both.
  TChoices choose(data, size);
  if (choose.Next(2) == 0) {
    WriteAsRead(image, ChooseCompression(choose));
  } else {
    SaveReduced(image, choose);
  }
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
