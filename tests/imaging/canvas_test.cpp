#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kGreen{0, 255, 0};
constexpr TRGBColor kBlue{0, 0, 255};

// A 2 x 2 source: red, green on top; blue, black below.
TBitmap Quad() {
  TBitmap bitmap;
  bitmap.SetSize(2, 2);
  bitmap.Canvas().SetPixel(0, 0, kRed);
  bitmap.Canvas().SetPixel(1, 0, kGreen);
  bitmap.Canvas().SetPixel(0, 1, kBlue);
  bitmap.Canvas().SetPixel(1, 1, clBlack);
  return bitmap;
}

TBitmap White(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  return bitmap;
}

TEST(CanvasTest, FillRectIsClippedToTheBitmap) {
  TBitmap bitmap = White(4, 3);
  bitmap.Canvas().FillRect(Rect(2, -5, 10, 2), kRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), clWhite);
  EXPECT_EQ(bitmap.Canvas().Pixel(3, 1), kRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(3, 2), clWhite);
  EXPECT_EQ(bitmap.Canvas().Pixel(9, 9), clBlack);  // outside reads black
}

TEST(CanvasTest, StretchPicksTheNearestSourcePixel) {
  TBitmap source = Quad();
  TBitmap target = White(6, 6);
  target.Canvas().StretchBitmap(Rect(1, 1, 5, 5), source);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(target.Canvas().Pixel(1, 1), kRed);
  EXPECT_EQ(target.Canvas().Pixel(2, 2), kRed);
  EXPECT_EQ(target.Canvas().Pixel(3, 2), kGreen);
  EXPECT_EQ(target.Canvas().Pixel(2, 3), kBlue);
  EXPECT_EQ(target.Canvas().Pixel(4, 4), clBlack);
  EXPECT_EQ(target.Canvas().Pixel(5, 5), clWhite);
  // Shrinking samples pixel centres: 4 x 4 into 2 x 2 takes columns and rows 1 and 3.
  TBitmap shrunk = White(2, 2);
  shrunk.Canvas().CopyRect(Rect(0, 0, 2, 2), target.Canvas(), Rect(1, 1, 5, 5));
  EXPECT_EQ(shrunk.Canvas().Pixel(0, 0), kRed);
  EXPECT_EQ(shrunk.Canvas().Pixel(1, 1), clBlack);
}

TEST(CanvasTest, DrawPlacesAGraphicAtItsSizePartlyOutside) {
  TBitmap source = Quad();
  TBitmap target = White(3, 3);
  target.Canvas().Draw(2, -1, source);
  EXPECT_EQ(target.Canvas().Pixel(2, 0), kBlue);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), clWhite);
  EXPECT_EQ(target.Canvas().Pixel(2, 1), clWhite);
}

TEST(CanvasTest, MaskBitOneKeepsTheDestination) {
  TBitmap source = Quad();
  TBitmap mask;
  mask.SetPixelFormat(pf1bit);
  mask.SetSize(2, 2);          // white: index 1 everywhere
  mask.ScanLine(0)[0] = 0x40;  // top row: keep only column 1
  mask.ScanLine(1)[0] = 0x00;  // bottom row: draw both
  TBitmap target = White(4, 4);
  target.Canvas().FillRect(target.Canvas().ClipRect(), kRed);
  target.Canvas().MaskedStretch(Rect(0, 0, 4, 4), source, mask);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kRed);  // source red drawn
  EXPECT_EQ(target.Canvas().Pixel(3, 1), kRed);  // masked: destination kept
  EXPECT_EQ(target.Canvas().Pixel(0, 3), kBlue);
  EXPECT_EQ(target.Canvas().Pixel(3, 3), clBlack);
  TBitmap green = White(4, 4);
  green.Canvas().FillRect(green.Canvas().ClipRect(), kGreen);
  green.Canvas().MaskedStretch(Rect(0, 0, 4, 4), source, mask);
  EXPECT_EQ(green.Canvas().Pixel(3, 0), kGreen);
}

TEST(CanvasTest, TransparentBitmapsKeepTheDestinationWhereTheyHaveTheirColour) {
  TBitmap source = Quad();
  source.SetTransparent(true);
  EXPECT_EQ(source.TransparentColor(), kBlue);  // the bottom-left pixel
  TBitmap target = White(2, 2);
  target.Canvas().Draw(0, 0, source);
  EXPECT_EQ(target.Canvas().Pixel(0, 1), clWhite);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kRed);
  source.SetTransparentColor(kRed);
  TBitmap second = White(2, 2);
  second.Canvas().Draw(0, 0, source);
  EXPECT_EQ(second.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(second.Canvas().Pixel(0, 1), kBlue);
}

TEST(CanvasTest, CopyWithinOneCanvasReadsBeforeWriting) {
  TBitmap bitmap = White(3, 1);
  bitmap.Canvas().SetPixel(0, 0, kRed);
  bitmap.Canvas().SetPixel(1, 0, kGreen);
  bitmap.Canvas().CopyRect(Rect(1, 0, 3, 1), bitmap.Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), kRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(2, 0), kGreen);
}

TEST(CanvasTest, DrawingIntoPaletteBitmapsStoresTheNearestEntry) {
  TBitmap target;
  target.SetPixelFormat(pf8bit);
  target.SetSize(2, 1);
  target.SetPalette({clBlack, {250, 10, 10}, clWhite});
  target.Canvas().SetPixel(0, 0, kRed);
  EXPECT_EQ(target.ScanLine(0)[0], 1);
  // Between two bitmaps of one palette the indices are copied as they are.
  TBitmap source;
  source.SetPixelFormat(pf8bit);
  source.SetSize(1, 1);
  source.SetPalette(target.Palette());
  source.ScanLine(0)[0] = 2;
  target.Canvas().Draw(1, 0, source);
  EXPECT_EQ(target.ScanLine(0)[1], 2);
}

TEST(CanvasTest, EightBitSourcesDrawThroughTheirPalette) {
  TBitmap source;
  source.SetPixelFormat(pf8bit);
  source.SetSize(2, 1);
  source.SetPalette({kGreen, kBlue});
  source.ScanLine(0)[0] = 1;
  source.ScanLine(0)[1] = 0;
  TBitmap target = White(4, 1);
  target.Canvas().StretchDraw(Rect(0, 0, 4, 1), source);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kBlue);
  EXPECT_EQ(target.Canvas().Pixel(2, 0), kGreen);
}

// Indexed sources reach a 24-bit target by table; drawing the same picture after turning it
// into 24 bits goes pixel by pixel and must give the same result.
TEST(CanvasTest, IndexedSourcesOfEveryDepthDrawLikeTheirTrueColourCopy) {
  for (const TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    SCOPED_TRACE(testing::Message() << "bits " << BitsPerPixel(format));
    TBitmap source;
    source.SetPixelFormat(format);
    source.SetSize(13, 5);
    // Fewer entries than the depth allows: the last indices show black.
    source.SetPalette({kRed, kGreen, kBlue});
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x)
        source.Dib().SetIndexOfRow(source.ScanLine(y), x,
                                   (x * 7 + y * 3) % (1 << BitsPerPixel(format)));
    TBitmap trueColor(source);
    trueColor.SetPixelFormat(pf24bit);
    for (const TRect& where : {Rect(0, 0, 13, 5), Rect(-3, 1, 20, 9), Rect(2, -1, 8, 3)}) {
      TBitmap byTable = White(16, 7), byPixel = White(16, 7);
      byTable.Canvas().StretchBitmap(where, source);
      byPixel.Canvas().StretchBitmap(where, trueColor);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 16; ++x)
          ASSERT_EQ(byTable.Canvas().Pixel(x, y), byPixel.Canvas().Pixel(x, y)) << x << "," << y;
    }
  }
}

TEST(CanvasTest, CanvasChangesReachTheBitmapsListeners) {
  TBitmap bitmap = White(2, 2);
  int changes = 0;
  bitmap.OnChange = [&](TGraphic&) { ++changes; };
  bitmap.Canvas().FillRect(Rect(0, 0, 1, 1), kRed);
  bitmap.Canvas().SetPixel(1, 1, kRed);
  EXPECT_EQ(changes, 2);
}

}  // namespace
