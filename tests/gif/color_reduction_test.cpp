// Colour lookups, dither engines, the octree quantizer, the row reader and writer, and the
// reduction of whole bitmaps.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "gif/color_lookup.h"
#include "gif/color_quantizer.h"
#include "gif/color_reduction.h"
#include "gif/gif_dib.h"
#include "gif/system_palettes.h"
#include "runtime/exceptions.h"
#include "tests/gif/bitmap_builders.h"

namespace {

TRGBColor Grey(int level) {
  return {uint8_t(level), uint8_t(level), uint8_t(level)};
}

std::unique_ptr<TBitmap> Reduce(TBitmap& source, TColorReduction method,
                                TDitherMode mode = dmNearest, int bits = 8,
                                const TPalette* palette = nullptr) {
  return ReduceColors(source, method, mode, bits, palette);
}

}  // namespace

TEST(ColorLookup, WebLevelsAreCutNotRounded) {
  TNetscapeColorLookup web;
  TRGBColor chosen;
  EXPECT_EQ(web.Lookup(47, 48, 255, chosen), 11);
  EXPECT_EQ(chosen, (TRGBColor{0, 51, 255}));
  // 48 is nearer to 51 and 25 nearer to 0, but the level boundaries are 48, 99, 150, 201, 252.
  EXPECT_EQ(web.Lookup(98, 99, 251, chosen), 1 * 36 + 2 * 6 + 4);
  EXPECT_EQ(web.Lookup(252, 0, 0, chosen), 5 * 36);
  EXPECT_EQ(web.Colors(), 216);
  EXPECT_EQ(WebPalette()[11], (TRGBColor{0, 51, 255}));
}

TEST(ColorLookup, GreyAndMonochromeByLuminance) {
  TGrayScaleLookup grey;
  TRGBColor chosen;
  EXPECT_EQ(grey.Lookup(255, 0, 0, chosen), 76);  // 77 * 255 >> 8
  EXPECT_EQ(chosen, Grey(76));
  EXPECT_EQ(grey.Lookup(255, 255, 255, chosen), 255);
  TMonochromeLookup mono;
  EXPECT_EQ(mono.Lookup(127, 127, 127, chosen), 0);  // 32512, just below the threshold
  EXPECT_EQ(chosen, clBlack);
  EXPECT_EQ(mono.Lookup(128, 127, 127, chosen), 1);
  EXPECT_EQ(chosen, clWhite);
}

TEST(ColorLookup, FastLookupPrefersLowerIndexAndRemembersCells) {
  // Entries 0 and 1 share a cell: the lower index owns it, even for entry 1's own colour.
  TFastColorLookup shared({{0, 0, 0}, {7, 0, 0}, {200, 0, 0}});
  TRGBColor chosen;
  EXPECT_EQ(shared.Lookup(7, 0, 0, chosen), 0);
  // Equally far from two entries: the first wins.
  TFastColorLookup tie({{10, 0, 0}, {0, 10, 0}});
  EXPECT_EQ(tie.Lookup(5, 5, 0, chosen), 0);
  // The first colour looked up in a cell decides for the whole cell.
  TFastColorLookup blackWhite({clBlack, clWhite});
  EXPECT_EQ(blackWhite.Lookup(127, 127, 127, chosen), 0);
  EXPECT_EQ(blackWhite.Lookup(128, 128, 128, chosen), 1);
  EXPECT_EQ(blackWhite.Lookup(135, 135, 135, chosen), 1);  // same cell as 128
  EXPECT_EQ(chosen, clWhite);
}

// One pixel's error reaching one neighbour, worked out by hand from each kernel's weights:
// the first pixel, grey 25, becomes web level 0 and leaves an error of 25; a neighbour
// becomes level 1 (grey 51, index 43) exactly when its grey plus its rounded share of that
// error reaches 48, since web levels are cut at 48. Pixels between the two are black.
TEST(DitherEngine, EachKernelPassesItsShareOfTheErrorToItsNeighbours) {
  const struct {
    TDitherMode mode;
    int row, column, share;
  } probes[] = {
      {dmNearest, 0, 1, 0},        {dmFloydSteinberg, 0, 1, 11},  // 25 * 7 / 16 = 10.9
      {dmFloydSteinberg, 1, 0, 8},                                // 25 * 5 / 16 = 7.8
      {dmStucki, 0, 1, 5},                                        // 25 * 8 / 42 = 4.8
      {dmSierra, 1, 0, 4},                                        // 25 * 5 / 32 = 3.9
      {dmJaJuNI, 0, 1, 4},                                        // 25 * 7 / 48 = 3.6
      {dmSteveArche, 0, 1, 0},                                    // no weight beside the pixel
      {dmSteveArche, 0, 2, 4},                                    // 25 * 32 / 200 = 4
      {dmSteveArche, 2, 0, 3},                                    // 25 * 26 / 200 = 3.25
      {dmBurkes, 1, 0, 6},                                        // 25 * 8 / 32 = 6.25
  };
  for (const auto& probe : probes) {
    for (const int grey : {48 - probe.share, 47 - probe.share}) {
      SCOPED_TRACE(testing::Message() << "mode " << probe.mode << " at (" << probe.row << ", "
                                      << probe.column << "), grey " << grey);
      auto image = MakeBitmap(probe.column + 1, probe.row + 1, [&](int x, int y) {
        if (x == 0 && y == 0) return Grey(25);
        return Grey(x == probe.column && y == probe.row ? grey : 0);
      });
      const auto reduced = Reduce(*image, rmNetscape, probe.mode);
      const std::vector<uint32_t> indices = PixelValues(*reduced);
      EXPECT_EQ(indices.front(), 0u);
      EXPECT_EQ(indices.back(), grey == 48 - probe.share ? 43u : 0u);
    }
  }
}

TEST(DitherEngine, DiffusionKeepsTheAverageOfAFlatArea) {
  // A flat grey between two web levels comes out as a mix of the two for every kernel.
  for (TDitherMode mode :
       {dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNI, dmSteveArche, dmBurkes}) {
    auto flat = MakeBitmap(40, 40, [](int, int) { return Grey(120); });
    const auto reduced = Reduce(*flat, rmNetscape, mode);
    double sum = 0;
    for (uint32_t index : PixelValues(*reduced)) sum += reduced->Palette()[index].Red;
    EXPECT_NEAR(sum / 1600, 120, 3) << "mode " << mode;
  }
}

TEST(OctreeQuantizer, ThreeColoursInTreeOrderWithTwoBits) {
  const TRGBColor red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
  auto image = MakeBitmap(3, 2, [&](int x, int) { return x == 0 ? red : x == 1 ? green : blue; });
  const auto reduced = Reduce(*image, rmQuantize, dmNearest, 2);
  ASSERT_EQ(reduced->PixelFormat(), pf8bit);
  const TPalette palette = reduced->Palette();
  ASSERT_GE(palette.size(), 4u);
  // Tree order follows the top bits (red 4, green 2, blue 1): blue, green, red.
  EXPECT_EQ(palette[0], blue);
  EXPECT_EQ(palette[1], green);
  EXPECT_EQ(palette[2], red);
  EXPECT_EQ(reduced->Dib().ClrImportant, 4u);
  EXPECT_EQ(PixelValues(*reduced), (std::vector<uint32_t>{2, 1, 0, 2, 1, 0}));
}

TEST(OctreeQuantizer, MergesTheMostRecentDeepestNodeFirst) {
  TColorQuantizer quantizer(3, 8);
  for (TRGBColor color : {TRGBColor{0, 0, 0}, {0, 0, 1}, {255, 255, 254}, {255, 255, 255}})
    quantizer.AddColor(color);
  EXPECT_EQ(quantizer.LeafCount(), 3);
  // The pair added last was merged, into the average with the remainder cut.
  EXPECT_EQ(quantizer.ColorTable(), (TPalette{{0, 0, 0}, {0, 0, 1}, {255, 255, 254}}));
}

TEST(OctreeQuantizer, NeverMoreLeavesThanAsked) {
  auto image = RandomBitmap(64, 64, 9);
  TDIBReader reader(*image, pf24bit);
  for (int colors : {1, 2, 16, 256}) {
    TColorQuantizer quantizer(colors, 8);
    quantizer.ProcessImage(reader);
    EXPECT_LE(quantizer.LeafCount(), colors);
    EXPECT_EQ(int(quantizer.ColorTable().size()), quantizer.LeafCount());
  }
  TColorQuantizer one(1, 8);
  for (int i = 0; i < 4; ++i) one.AddColor(Grey(i * 20));
  EXPECT_EQ(one.ColorTable(), TPalette{Grey(30)});
}

TEST(DIBAccess, WriterBuildsTheBitmapItDescribes) {
  TDIBWriter writer(3, 2, pf8bit, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) writer.ScanLine(y)[x] = uint8_t(y * 3 + x);
  }
  EXPECT_THROW(writer.ScanLine(2), EInvalidGraphicOperation);
  TBitmap bitmap;
  writer.Finish(bitmap);
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  ASSERT_EQ(bitmap.Palette().size(), 256u);
  EXPECT_EQ(bitmap.Palette()[2], (TRGBColor{7, 8, 9}));
  EXPECT_EQ(bitmap.Palette()[3], clBlack);
  EXPECT_EQ(PixelValues(bitmap), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));

  TDIBWriter deep(2, 1, pf24bit, {});
  deep.ScanLine(0)[5] = 200;  // red of the second pixel
  deep.Finish(bitmap);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(PixelAt(bitmap, 1, 0), (TRGBColor{200, 0, 0}));
}

TEST(DIBAccess, WriterRefusesWhatItCannotHold) {
  auto message = [](auto make) {
    try {
      make();
    } catch (const GIFException& error) {
      return error.Message();
    }
    return std::string();
  };
  EXPECT_EQ(message([] { TDIBWriter(4, 4, pf4bit, {}); }), "Unsupported PixelFormat");
  EXPECT_EQ(message([] { TDIBWriter(0, 4, pf8bit, {}); }), "Invalid image dimensions");
  EXPECT_EQ(message([] { TDIBWriter(1 << 15, 1 << 15, pf8bit, {}); }),
            "Failed to allocate memory for GIF DIB");
}

TEST(ColorReduction, DefaultsGiveTheWebPaletteAndConvertTheSource) {
  auto oneColour = MakeBitmap(
      5, 4,
      [](int, int) {
        return TRGBColor{47, 48, 255};
      },
      pf32bit);
  const auto reduced = Reduce(*oneColour, rmNetscape);
  EXPECT_EQ(oneColour->PixelFormat(), pf24bit);
  EXPECT_EQ(reduced->PixelFormat(), pf8bit);
  const TPalette palette = reduced->Palette();
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_TRUE(std::equal(palette.begin(), palette.begin() + 216, WebPalette().begin()));
  EXPECT_TRUE(
      std::all_of(palette.begin() + 216, palette.end(), [](TRGBColor c) { return c == clBlack; }));
  EXPECT_EQ(PixelValues(*reduced), std::vector<uint32_t>(20, 11));
}

TEST(ColorReduction, NoneCopiesAt24BitsAndLeavesTheSource) {
  auto source = RandomBitmap(6, 5, 1);
  const std::vector<uint32_t> before = PixelValues(*source);
  source->SetPixelFormat(pf32bit);
  const auto copy = Reduce(*source, rmNone);
  EXPECT_EQ(source->PixelFormat(), pf32bit);
  EXPECT_EQ(copy->PixelFormat(), pf24bit);
  EXPECT_EQ(PixelValues(*copy), before);
}

TEST(ColorReduction, FixedPalettesMapToTheirOwnColours) {
  const TPalette system = SystemPalette20();
  auto swatches = MakeBitmap(20, 1, [&](int x, int) { return system[x]; });
  const auto windows20 = Reduce(*swatches, rmWindows20);
  std::vector<uint32_t> identity(20);
  for (uint32_t i = 0; i < 20; ++i) identity[i] = i;
  EXPECT_EQ(PixelValues(*windows20), identity);

  EXPECT_EQ(HalftonePalette().size(), 256u);
  const auto halftone = Reduce(*swatches, rmWindows256);
  // Colours that share an 8 x 8 x 8 cell with an earlier entry get that entry.
  for (int x = 0; x < 20; ++x) {
    const TRGBColor got = halftone->Palette()[PixelValues(*halftone)[x]];
    EXPECT_LE(std::abs(got.Red - system[x].Red) + std::abs(got.Green - system[x].Green) +
                  std::abs(got.Blue - system[x].Blue),
              24);
  }

  auto greys = MakeBitmap(4, 1, [](int x, int) { return Grey(std::array{10, 100, 170, 240}[x]); });
  EXPECT_EQ(PixelValues(*Reduce(*greys, rmWindowsGray)), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(PixelValues(*Reduce(*greys, rmMonochrome)), (std::vector<uint32_t>{0, 0, 1, 1}));
  EXPECT_EQ(PixelValues(*Reduce(*greys, rmGrayScale)), (std::vector<uint32_t>{10, 100, 170, 240}));
}

TEST(ColorReduction, QuantizingBetweenReservedColours) {
  auto photo = PhotoBitmap(50, 40, 2);
  const auto reduced = Reduce(*photo, rmQuantizeWindows);
  const TPalette palette = reduced->Palette();
  const TPalette system = SystemPalette20();
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_TRUE(std::equal(system.begin(), system.begin() + 10, palette.begin()));
  EXPECT_TRUE(std::equal(system.begin() + 10, system.end(), palette.begin() + 246));
  const std::vector<uint32_t> indices = PixelValues(*reduced);
  const auto quantized =
      std::count_if(indices.begin(), indices.end(), [](uint32_t i) { return i >= 10 && i < 246; });
  EXPECT_GT(quantized, long(indices.size() * 9 / 10));
  EXPECT_GT(std::set<uint32_t>(indices.begin(), indices.end()).size(), 50u);
}

TEST(ColorReduction, UnknownSettingsAndEmptyPalettesGiveAnEmptyBitmap) {
  auto source = RandomBitmap(4, 4, 5);
  EXPECT_TRUE(Reduce(*source, TColorReduction(10))->Empty());
  EXPECT_TRUE(Reduce(*source, rmNetscape, TDitherMode(7))->Empty());
  EXPECT_TRUE(Reduce(*source, rmPalette)->Empty());
  const TPalette none;
  EXPECT_TRUE(Reduce(*source, rmPalette, dmNearest, 8, &none)->Empty());
  const TPalette two{clBlack, clWhite};
  const auto given = Reduce(*source, rmPalette, dmFloydSteinberg, 8, &two);
  EXPECT_EQ(given->Width(), 4);
  EXPECT_EQ(given->Palette()[1], clWhite);
}
