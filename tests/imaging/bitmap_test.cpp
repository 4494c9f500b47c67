#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "runtime/exceptions.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kTeal{0, 128, 128};

TEST(BitmapTest, NewBitmapIsEmptyAt24Bits) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
}

TEST(BitmapTest, SizingMakesWhitePixelsAndKeepsOldContentTopLeft) {
  TBitmap bitmap;
  bitmap.SetHeight(2);
  bitmap.SetWidth(3);
  EXPECT_EQ(bitmap.RowSize(), 12);  // 9 bytes padded to 4
  EXPECT_EQ(bitmap.Canvas().Pixel(2, 1), clWhite);
  bitmap.Canvas().SetPixel(0, 0, kRed);
  bitmap.Canvas().SetPixel(2, 1, kTeal);
  bitmap.SetSize(5, 4);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(2, 1), kTeal);
  EXPECT_EQ(bitmap.Canvas().Pixel(4, 3), clWhite);
  EXPECT_EQ(bitmap.Canvas().Pixel(3, 0), clWhite);
  bitmap.SetSize(1, 1);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed);
}

TEST(BitmapTest, ScanLinesCountFromTheTopOverBottomUpRows) {
  TBitmap bitmap;
  bitmap.SetSize(2, 3);
  bitmap.Canvas().SetPixel(1, 0, {1, 2, 3});
  const uint8_t* top = bitmap.ScanLine(0);
  EXPECT_EQ(top[3], 3);  // blue, green, red
  EXPECT_EQ(top[5], 1);
  // The stored rows are bottom-up: the top row is the last one.
  EXPECT_EQ(top, bitmap.Dib().Bits.data() + 2 * bitmap.RowSize());
  EXPECT_THROW(bitmap.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(BitmapTest, PixelFormatConversionPersistsThroughResizing) {
  TBitmap bitmap;
  bitmap.SetSize(4, 4);
  bitmap.Canvas().FillRect(Rect(0, 0, 2, 4), clBlack);
  bitmap.SetPixelFormat(pf1bit);
  EXPECT_EQ(bitmap.Palette(), (TPalette{clBlack, clWhite}));
  EXPECT_EQ(bitmap.RowSize(), 4);
  bitmap.SetSize(8, 4);
  EXPECT_EQ(bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 3), clBlack);
  EXPECT_EQ(bitmap.Canvas().Pixel(6, 3), clWhite);
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clBlack);
  EXPECT_EQ(bitmap.Canvas().Pixel(7, 0), clWhite);
}

TEST(BitmapTest, ConversionsKeepColoursTheFormatCanHold) {
  TBitmap bitmap;
  bitmap.SetSize(3, 1);
  bitmap.Canvas().SetPixel(0, 0, kRed);
  bitmap.Canvas().SetPixel(1, 0, kTeal);
  for (TPixelFormat format : {pf4bit, pf32bit, pf8bit, pf24bit}) {
    bitmap.SetPixelFormat(format);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kRed) << format;
    EXPECT_EQ(bitmap.Canvas().Pixel(2, 0), clWhite) << format;
  }
  // 8 bits went through the colour cube: teal became its nearest entry.
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), (TRGBColor{0, 145, 170}));
  TBitmap deep;
  deep.SetSize(1, 1);
  deep.Canvas().SetPixel(0, 0, kTeal);
  deep.SetPixelFormat(pf16bit);  // 5 bits a component
  EXPECT_EQ(deep.Canvas().Pixel(0, 0), (TRGBColor{0, 132, 132}));
}

TEST(BitmapTest, IndicesPastThePaletteShowBlack) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 1);
  bitmap.SetPalette({kRed, kTeal});
  bitmap.ScanLine(0)[0] = 1;
  bitmap.ScanLine(0)[1] = 200;
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), kTeal);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), clBlack);
}

// Every index of a short palette, and past it, shows the same colour at 24 bits.
TEST(BitmapTest, IndexedPixelsKeepTheirColoursAtTwentyFourBits) {
  const uint8_t bytes[] = {0x1B, 0xE4, 0x72, 0x0F, 0x90, 1, 2, 0, 255};
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit}) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(9, 2);
    bitmap.SetPalette({kRed, kTeal});
    std::copy_n(bytes, bitmap.RowSize() < 9 ? bitmap.RowSize() : 9, bitmap.ScanLine(1));
    std::vector<TRGBColor> shown;
    for (int x = 0; x < 9; ++x) shown.push_back(bitmap.Canvas().Pixel(x, 1));
    bitmap.SetPixelFormat(pf24bit);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(bitmap.Canvas().Pixel(x, 1), shown[x]) << format << x;
    EXPECT_EQ(bitmap.Canvas().Pixel(8, 0), format == pf1bit ? kTeal : clBlack) << format;
  }
}

TEST(BitmapTest, AssignCopiesBitmapsAndRefusesOthersByClassName) {
  TBitmap source;
  source.SetSize(2, 2);
  source.Canvas().SetPixel(1, 1, kRed);
  TBitmap copy;
  int changes = 0;
  copy.OnChange = [&](TGraphic&) { ++changes; };
  copy.Assign(source);
  EXPECT_EQ(copy.Canvas().Pixel(1, 1), kRed);
  EXPECT_EQ(changes, 1);
  source.Canvas().SetPixel(1, 1, clBlack);
  EXPECT_EQ(copy.Canvas().Pixel(1, 1), kRed);  // a copy, not shared

  TMetafile metafile;
  TIcon icon;
  try {
    icon.Assign(metafile);
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Cannot assign a TMetafile to a TIcon");
  }
}

// A copy shares the pixels until one side changes them; every way of changing pixels
// then leaves the other side as it was, whichever side changes.
TEST(BitmapTest, CopiesSharePixelsUntilEitherSideChangesThem) {
  struct TChange {
    const char* how;
    std::function<void(TBitmap&)> change;
  };
  TBitmap other = Filled(3, 2, kTeal);
  const TChange changes[] = {
      {"SetPixel", [](TBitmap& b) { b.Canvas().SetPixel(1, 1, kRed); }},
      {"FillRect", [](TBitmap& b) { b.Canvas().FillRect(Rect(0, 0, 2, 2), kRed); }},
      {"ScanLine", [](TBitmap& b) { b.ScanLine(1)[3] = 0; }},
      {"Draw", [&](TBitmap& b) { b.Canvas().Draw(0, 0, other); }},
      {"CopyRect",
       [&](TBitmap& b) {
         b.Canvas().CopyRect(Rect(0, 0, 3, 2), other.Canvas(), Rect(0, 0, 3, 2));
       }},
      {"SetPalette", [](TBitmap& b) { b.SetPalette({kRed}); }},
  };
  for (const TChange& c : changes) {
    for (const bool changeTheCopy : {true, false}) {
      TBitmap original = Pattern(3, 2);
      TBitmap copy = original;
      EXPECT_EQ(copy.Dib().Bits.data(), original.Dib().Bits.data()) << c.how;
      const TDib before = original.Dib();
      TBitmap& changed = changeTheCopy ? copy : original;
      const TBitmap& kept = changeTheCopy ? original : copy;
      c.change(changed);
      EXPECT_EQ(kept.Dib().Bits, before.Bits) << c.how;
      EXPECT_EQ(kept.Dib().Palette, before.Palette) << c.how;
      EXPECT_TRUE(changed.Dib().Bits != before.Bits || changed.Dib().Palette != before.Palette)
          << c.how;
    }
  }
}

}  // namespace
