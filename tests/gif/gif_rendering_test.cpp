// Frames drawn onto bitmaps: scaling, tiling, transparency, palettes and the image bitmap.

#include <gtest/gtest.h>

#include "gif/gif_codec.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/file_formats.h"
#include "runtime/exceptions.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kGreen{0, 200, 0};
constexpr TRGBColor kBlue{0, 0, 255};

// The rectangle of pixels that differ from color; empty when none does.
TRect AreaNotOf(TBitmap& bitmap, TRGBColor color) {
  TRect area{bitmap.Width(), bitmap.Height(), 0, 0};
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (bitmap.Canvas().Pixel(x, y) == color) continue;
      area = {std::min(area.Left, x), std::min(area.Top, y), std::max(area.Right, x + 1),
              std::max(area.Bottom, y + 1)};
    }
  }
  return area.IsEmpty() ? TRect{} : area;
}

}  // namespace

TEST(GIFRendering, TransparentPixelsKeepTheDestination) {
  TGIFImage image;
  SetGlobalColors(image, {kGreen, kBlue});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 4, 1, 0);
  frame.Data()[1] = 1;
  frame.Data()[2] = 1;
  AddControl(frame, 0, 0, 1);
  TBitmap target = Filled(4, 1, kRed);
  target.Canvas().Draw(0, 0, image);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kGreen);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kRed);
  EXPECT_EQ(target.Canvas().Pixel(2, 0), kRed);
  EXPECT_EQ(target.Canvas().Pixel(3, 0), kGreen);
  // Without drTransparent the index shows its colour.
  image.SetDrawOptions(image.DrawOptions() & ~drTransparent);
  target.Canvas().Draw(0, 0, image);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kBlue);
}

TEST(GIFRendering, OffsetFramesAreScaledWithTheScreen) {
  TGIFImage image;
  SetGlobalColors(image, {kGreen});
  image.SetWidth(20);
  image.SetHeight(20);
  AddFrame(image, 5, 5, 10, 10, 0);
  TBitmap natural = Filled(20, 20, kRed);
  natural.Canvas().Draw(0, 0, image);
  EXPECT_EQ(AreaNotOf(natural, kRed), Rect(5, 5, 15, 15));
  EXPECT_EQ(natural.Canvas().Pixel(5, 5), kGreen);
  TBitmap doubled = Filled(40, 40, kRed);
  doubled.Canvas().StretchDraw(Rect(0, 0, 40, 40), image);
  EXPECT_EQ(AreaNotOf(doubled, kRed), Rect(10, 10, 30, 30));
}

TEST(GIFRendering, TilesRepeatEveryScreenSize) {
  TGIFImage image;
  SetGlobalColors(image, {kGreen});
  image.SetWidth(5);
  image.SetHeight(4);
  AddFrame(image, 2, 1, 3, 2, 0);
  image.SetDrawOptions(image.DrawOptions() | drTile);
  TBitmap target = Filled(12, 9, kRed);
  target.Canvas().StretchDraw(Rect(0, 0, 12, 9), image);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool inTile = (x % 5 >= 2) && (y % 4 >= 1 && y % 4 < 3);
      EXPECT_EQ(target.Canvas().Pixel(x, y), inTile ? kGreen : kRed) << x << "," << y;
    }
  }
}

TEST(GIFRendering, IndicesPastTheTableAreBlack) {
  TGIFImage image;
  std::vector<TRGBColor> sixteen(16, kGreen);
  SetGlobalColors(image, sixteen);
  TGIFSubImage& frame = AddFrame(image, 0, 0, 2, 1, 200);
  frame.Data()[1] = 15;
  TBitmap target = Filled(2, 1, kRed);
  target.Canvas().Draw(0, 0, image);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), clBlack);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kGreen);
  TBitmap* bitmap = frame.Bitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->PixelFormat(), pf8bit);
  EXPECT_EQ(bitmap->Palette().size(), 256u);
}

TEST(GIFRendering, LocalTablesAndTheirChanges) {
  TGIFImage image;
  SetGlobalColors(image, {kGreen});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, 0);
  TBitmap target = Filled(1, 1, kRed);
  target.Canvas().Draw(0, 0, image);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kGreen);
  frame.ColorMap().Add(ColorValue(kBlue));
  target.Canvas().Draw(0, 0, image);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kBlue);
}

TEST(GIFRendering, PalettesOfTheImage) {
  TGIFImage image;
  EXPECT_TRUE(image.Palette().empty());
  SetGlobalColors(image, {kGreen, kBlue});
  EXPECT_EQ(image.Palette(), (TPalette{kGreen, kBlue}));
  TGIFImage noTables;
  AddFrame(noTables, 0, 0, 1, 1, 0);
  try {
    noTables.Palette();
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "No global or local color table defined");
  }
  TGIFImage localOnly;
  TGIFSubImage& frame = AddFrame(localOnly, 0, 0, 1, 1, 0);
  frame.ColorMap().Add(ColorValue(kRed));
  EXPECT_EQ(localOnly.Palette(), TPalette{kRed});
}

TEST(GIFRendering, WebPaletteModeDiffusesTheError) {
  GIFImageDefaults().PalettedDisplay = true;
  TGIFImage image;
  GIFImageDefaults().PalettedDisplay = false;
  ASSERT_TRUE(image.WebPaletteMode());
  SetGlobalColors(image, {{30, 30, 30}, {0, 51, 255}, {9, 9, 9}});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 3, 1, 0);
  frame.Data()[2] = 1;
  TBitmap* bitmap = frame.Bitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Palette()[215], (TRGBColor{255, 255, 255}));
  // 30 maps to 0 leaving 30; 7/16 of it lifts the next 30 to 43, still 0; (0, 51, 255) is
  // a web colour of its own, index 11, and the error it receives stays below a step.
  const uint8_t* row = bitmap->ScanLine(0);
  EXPECT_EQ(row[0], 0);
  EXPECT_EQ(row[1], 0);
  EXPECT_EQ(row[2], 11);
}

TEST(GIFRendering, TheImageBitmapHoldsTheFirstFrameOpaque) {
  TGIFImage image;
  SetGlobalColors(image, {kGreen, kBlue});
  image.SetWidth(3);
  image.SetHeight(2);
  TGIFSubImage& frame = AddFrame(image, 1, 0, 2, 1, 1);
  AddControl(frame, 0, 0, 1);
  TBitmap assigned;
  assigned.Assign(image);
  ASSERT_EQ(assigned.Width(), 3);
  EXPECT_EQ(assigned.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(assigned.Canvas().Pixel(1, 0), kBlue);
  TGIFImage exact;
  SetGlobalColors(exact, {kGreen});
  AddFrame(exact, 0, 0, 2, 2, 0);
  TBitmap copy;
  copy.Assign(exact);
  EXPECT_EQ(copy.PixelFormat(), pf8bit);
  EXPECT_EQ(copy.Canvas().Pixel(1, 1), kGreen);
  TBitmap empty = Filled(2, 2, kRed);
  empty.Assign(TGIFImage());
  EXPECT_TRUE(empty.Empty());
}

TEST(GIFRendering, ProgressOfLoadingAndRendering) {
  PeerFrame frame;
  frame.Width = 2;
  frame.Height = 40;
  frame.Pixels.assign(80, 1);
  const Bytes bytes = WriteGiflibGif({2, 40, 2, {frame}});
  // After the frame the stream stands before the trailer byte.
  const std::string running = std::to_string((bytes.size() - 1) * 100 / bytes.size());
  TGIFImage image;
  std::vector<std::string> seen;
  image.OnProgress = [&seen](TGraphic&, TProgressStage stage, uint8_t percent, bool, const TRect&,
                             const std::string& message) {
    seen.push_back(message + " " + std::to_string(stage) + " " + std::to_string(percent));
  };
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
  EXPECT_EQ(seen, (std::vector<std::string>{"Loading... 0 0", "Loading... 1 " + running,
                                            "Loading... 2 100"}));
  seen.clear();
  image.Images()[0].Bitmap();
  EXPECT_EQ(seen, (std::vector<std::string>{"Rendering... 0 0", "Rendering... 1 0",
                                            "Rendering... 1 80", "Rendering... 2 100"}));
}

TEST(GIFCodec, RegistersTheGIFFormatUntilShutdown) {
  GIFCodecStartup(24);
  EXPECT_EQ(FileFormats().FindExt("GIF"), TGIFImage::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("gif"), TGIFImage::StaticClass());
  EXPECT_FALSE(GIFImageDefaults().PalettedDisplay);
  GIFCodecShutdown();
  EXPECT_FALSE(FileFormats().FindExt("gif"));
  GIFCodecStartup(8);
  EXPECT_TRUE(GIFImageDefaults().PalettedDisplay);
  GIFImageDefaults().PalettedDisplay = false;
  GIFCodecShutdown();
}
