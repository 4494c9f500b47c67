// Drawing images of several frames: the painter on its own thread and inline.

#include "gif/gif_painter.h"

#include <gtest/gtest.h>

#include "gif/gif_application_extension.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/message_loop.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/pump.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kGreen{0, 200, 0};
constexpr TRGBColor kBlue{0, 0, 255};
constexpr TRGBColor kGrey{90, 90, 90};
// Delays of a few milliseconds, so that whole animations play quickly.
constexpr int kFastSpeed = 100000;

// A 4 x 4 screen: a green frame on the left half with a transparent pixel, then a full
// blue frame.
std::unique_ptr<TGIFImage> TwoFrames() {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {kGreen, kBlue, kGrey});
  image->SetWidth(4);
  image->SetHeight(4);
  TGIFSubImage& first = AddFrame(*image, 0, 0, 2, 4, 0);
  first.Data()[0] = 2;
  AddControl(first, dmNoDisposal, 0, 2);
  AddFrame(*image, 0, 0, 4, 4, 1);
  return image;
}

}  // namespace

TEST(GIFPainter, TwoFramesShowTheFirstAndDestroyingStopsThePainter) {
  auto image = TwoFrames();
  int paints = 0;
  bool ended = false;
  image->OnPaint = [&paints](TGIFPainter&) { ++paints; };
  image->OnEndPaint = [&ended](TGIFPainter&) { ended = true; };
  TBitmap target = Filled(4, 4, kRed);
  target.Canvas().Draw(0, 0, *image);
  TGIFPainter* painter = image->DrawPainter();
  ASSERT_NE(painter, nullptr);
  EXPECT_TRUE(painter->Threaded());
  EXPECT_EQ(paints, 1);

  auto single = TwoFrames();
  single->Images().Delete(1);
  TBitmap expected = Filled(4, 4, kRed);
  expected.Canvas().Draw(0, 0, *single);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(target.Canvas().Pixel(x, y), expected.Canvas().Pixel(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kRed);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kGreen);
  EXPECT_EQ(target.Canvas().Pixel(3, 3), kRed);

  image.reset();
  EXPECT_TRUE(ended);
  EXPECT_EQ(paints, 1);
  MessageLoop::Current().ProcessMessages();
  EXPECT_EQ(target.Canvas().Pixel(3, 3), kRed);
}

TEST(GIFPainter, NothingToPaint) {
  TGIFImage none;
  TBitmap target = Filled(2, 2, kRed);
  target.Canvas().Draw(0, 0, none);
  EXPECT_EQ(none.DrawPainter(), nullptr);

  auto emptyFirst = TwoFrames();
  emptyFirst->Images()[0].Clear();
  int paints = 0;
  emptyFirst->OnPaint = [&paints](TGIFPainter&) { ++paints; };
  TBitmap kept = Filled(4, 4, kRed);
  kept.Canvas().Draw(0, 0, *emptyFirst);
  emptyFirst.reset();
  EXPECT_EQ(paints, 0);
  EXPECT_EQ(kept.Canvas().Pixel(2, 2), kRed);

  // Looping for ever over nothing to show ends the painter instead of spinning, and the
  // draw that waits for its first frame returns.
  auto endless = TwoFrames();
  endless->Images()[0].Clear();
  endless->SetDrawOptions(kGIFDefaultDrawOptions | drLoopForever);
  kept.Canvas().Draw(0, 0, *endless);
  ASSERT_TRUE(
      PumpUntil(MessageLoop::Current(), [&endless] { return endless->DrawPainter() == nullptr; }));
}

TEST(GIFPainter, DelaysAreKeptWithinBounds) {
  TGIFImage image;
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, 0);
  EXPECT_EQ(TGIFPainter::FrameDelay(frame, true), 10);
  TGIFGraphicControlExtension& control = AddControl(frame, 0, 1);
  EXPECT_EQ(TGIFPainter::FrameDelay(frame, true), 3);
  control.SetDelay(0);
  EXPECT_EQ(TGIFPainter::FrameDelay(frame, false), 10);
  control.SetDelay(5000);
  EXPECT_EQ(TGIFPainter::FrameDelay(frame, true), 5000);
  EXPECT_EQ(TGIFPainter::FrameDelay(frame, false), 1000);
}

TEST(GIFPainter, EndlessLoopThreadedButOncePlayedInline) {
  auto image = TwoFrames();
  image->Images()[0].Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(image->Images()[0]));
  image->SetAnimationSpeed(kFastSpeed);
  int loops = 0;
  int paints = 0;
  image->OnLoop = [&loops](TGIFPainter&) { ++loops; };
  image->OnPaint = [&paints](TGIFPainter&) { ++paints; };
  TBitmap target = Filled(4, 4, kRed);
  target.Canvas().Draw(0, 0, *image);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&loops] { return loops >= 3; }));
  image->StopPainters();
  EXPECT_EQ(image->DrawPainter(), nullptr);
  EXPECT_GE(paints, 6);

  loops = paints = 0;
  image->SetDrawOptions(image->DrawOptions() & ~drAsync);
  image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(loops, 0);
  EXPECT_EQ(image->DrawPainter(), nullptr);
}

TEST(GIFPainter, DisposalMethodsInline) {
  // Frame 0 fills the screen; frame 1 covers (1, 1, 3, 3) and is disposed as the test says;
  // frame 2 puts one pixel at (0, 0).
  const auto play = [](int disposal, TGIFDrawOptions options) {
    auto image = std::make_unique<TGIFImage>();
    SetGlobalColors(*image, {kGreen, kBlue, kGrey});
    image->Header().SetBackgroundColorIndex(2);
    image->SetWidth(4);
    image->SetHeight(4);
    AddControl(AddFrame(*image, 0, 0, 4, 4, 0), dmNoDisposal, 1);
    AddControl(AddFrame(*image, 1, 1, 2, 2, 1), disposal, 1);
    AddControl(AddFrame(*image, 0, 0, 1, 1, 1), dmNoDisposal, 1);
    image->SetAnimationSpeed(kFastSpeed);
    image->SetDrawOptions(options);
    TBitmap target = Filled(4, 4, kRed);
    image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
    return target;
  };
  const TGIFDrawOptions inlineDirect = drAnimate | drDirect | drTransparent;
  TBitmap kept = play(dmNoDisposal, inlineDirect);
  EXPECT_EQ(kept.Canvas().Pixel(1, 1), kBlue);
  EXPECT_EQ(kept.Canvas().Pixel(0, 0), kBlue);
  EXPECT_EQ(kept.Canvas().Pixel(3, 3), kGreen);
  // Back to what the destination held before the animation.
  TBitmap restored = play(dmBackground, inlineDirect);
  EXPECT_EQ(restored.Canvas().Pixel(1, 1), kRed);
  EXPECT_EQ(restored.Canvas().Pixel(3, 3), kGreen);
  // Without drTransparent: back to the background colour.
  TBitmap filled = play(dmBackground, drAnimate | drDirect);
  EXPECT_EQ(filled.Canvas().Pixel(2, 2), kGrey);
  // Back to what frame 0 left.
  TBitmap previous = play(dmPrevious, inlineDirect);
  EXPECT_EQ(previous.Canvas().Pixel(1, 1), kGreen);
  EXPECT_EQ(previous.Canvas().Pixel(0, 0), kBlue);
}

TEST(GIFPainter, ErrorsOfThePaintReachTheDraw) {
  for (TGIFDrawOptions options : {kGIFDefaultDrawOptions, TGIFDrawOptions(drAnimate | drDirect)}) {
    auto image = TwoFrames();
    image->OnPaint = [](TGIFPainter&) { throw GIFException("painting failed"); };
    image->SetDrawOptions(options);
    TBitmap target = Filled(4, 4, kRed);
    try {
      image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
      FAIL() << options;
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message(), "painting failed");
    }
    EXPECT_EQ(image->DrawPainter(), nullptr);
  }
}

TEST(GIFPainter, ADrawIntoAnotherRectangleReplacesTheDrawPainter) {
  auto image = TwoFrames();
  image->SetDrawOptions(image->DrawOptions() | drDirect);
  TBitmap target = Filled(8, 8, kRed);
  image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
  TGIFPainter* first = image->DrawPainter();
  ASSERT_NE(first, nullptr);
  image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(image->DrawPainter(), first);
  image->Draw(target.Canvas(), Rect(4, 4, 8, 8));
  EXPECT_NE(image->DrawPainter(), nullptr);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return image->DrawPainter()->Started(); }));
  EXPECT_EQ(target.Canvas().Pixel(5, 4), kGreen);
}

TEST(GIFPainter, ADrawFromAPaintEventDoesNothing) {
  auto image = TwoFrames();
  image->SetAnimationSpeed(kFastSpeed);
  image->SetDrawOptions(drAnimate | drTransparent);
  TBitmap other = Filled(4, 4, kRed);
  int paints = 0;
  image->OnPaint = [&](TGIFPainter&) {
    ++paints;
    image->Draw(other.Canvas(), Rect(0, 0, 4, 4));
  };
  TBitmap target = Filled(4, 4, kRed);
  image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(paints, 2);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(other.Canvas().Pixel(x, y), kRed) << x << "," << y;
  }
  // The inline painter played into the image bitmap; the next draw copies that.
  EXPECT_EQ(target.Canvas().Pixel(3, 3), kRed);
  image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(target.Canvas().Pixel(3, 3), kBlue);
}

// The draw painter paints into the image bitmap; a change that drops that bitmap must end
// the painter first, or its next frame goes into freed memory.
TEST(GIFPainter, ChangingTheScreenOrPaletteDuringAnAnimationStopsTheDrawPainter) {
  const std::vector<std::pair<const char*, std::function<void(TGIFImage&)>>> changes = {
      {"width", [](TGIFImage& image) { image.SetWidth(5); }},
      {"height", [](TGIFImage& image) { image.SetHeight(6); }},
      {"palette",
       [](TGIFImage& image) {
         image.SetPalette({kRed, kGrey});
       }},
  };
  for (const auto& [name, change] : changes) {
    auto image = TwoFrames();
    image->SetAnimationSpeed(kFastSpeed);
    image->SetDrawOptions(kGIFDefaultDrawOptions | drLoopForever);
    int paints = 0;
    image->OnPaint = [&paints](TGIFPainter&) { ++paints; };
    TBitmap target = Filled(4, 4, kRed);
    target.Canvas().Draw(0, 0, *image);
    ASSERT_NE(image->DrawPainter(), nullptr) << name;
    change(*image);
    EXPECT_EQ(image->DrawPainter(), nullptr) << name;
    // Whatever the painter had queued is dispatched without painting again.
    const int paintsAfterChange = paints;
    MessageLoop::Current().ProcessMessages();
    EXPECT_EQ(paints, paintsAfterChange) << name;
  }
}

// A painter's thread looks at its image and holds what the painter was given until it
// ends: every way of stopping painters returns only once their threads are gone, so an
// image can be changed or freed at once, and nothing of a painter outlives its stop.
TEST(GIFPainter, NoPainterThreadOutlivesItsStop) {
  struct TStop {
    const char* name;
    std::function<void(std::unique_ptr<TGIFImage>&, TBitmap&)> stop;
    long heldAfter;  // holders of the token besides the test: the image's event, a new painter
    TGIFDrawOptions direct = 0;
  };
  const std::vector<TStop> stops = {
      {"destroying the image", [](auto& image, TBitmap&) { image.reset(); }, 0},
      {"StopPainters", [](auto& image, TBitmap&) { image->StopPainters(); }, 1},
      {"a new width", [](auto& image, TBitmap&) { image->SetWidth(5); }, 1},
      {"a new palette",
       [](auto& image, TBitmap&) {
         image->SetPalette({kRed, kGrey});
       },
       1},
      {"a draw elsewhere",
       [](auto& image, TBitmap& target) { image->Draw(target.Canvas(), Rect(4, 4, 8, 8)); }, 2,
       drDirect},
  };
  // A thread left behind is still holding the token on some rounds, not on every one.
  constexpr int kRounds = 20;
  for (const TStop& way : stops) {
    for (int round = 0; round < kRounds; ++round) {
      auto token = std::make_shared<int>();
      auto image = TwoFrames();
      image->SetAnimationSpeed(kFastSpeed);
      image->SetDrawOptions(kGIFDefaultDrawOptions | drLoopForever | way.direct);
      image->OnPaint = [token](TGIFPainter&) {};
      TBitmap target = Filled(8, 8, kRed);
      image->Draw(target.Canvas(), Rect(0, 0, 4, 4));
      ASSERT_NE(image->DrawPainter(), nullptr) << way.name;
      way.stop(image, target);
      EXPECT_EQ(token.use_count(), 1 + way.heldAfter) << way.name << ", round " << round;
    }
  }
}
