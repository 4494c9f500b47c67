#include "imaging/dib_graphic.h"

#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/negative_transform.h"
#include "runtime/exceptions.h"
#include "runtime/message_loop.h"
#include "runtime/stream.h"
#include "tests/support/pump.h"

namespace {

// A graphic that is neither a bitmap nor a TDibGraphic: it draws a red square.
class TRedSquare : public TGraphic {
 public:
  static TGraphicClass StaticClass() {
    return TGraphicClass::Define<TRedSquare, TGraphic>("TRedSquare");
  }
  TGraphicClass ClassType() const override { return StaticClass(); }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  int Width() const override { return 4; }
  int Height() const override { return 3; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return false; }
  void Draw(TCanvas& Canvas, const TRect&) override {
    Canvas.FillRect(Rect(1, 1, 3, 2), {255, 0, 0});
  }
};

// Pages of a made-up two-page format: page n is n pixels wide.
class TTwoPages : public TDibGraphic {
 public:
  static TGraphicClass StaticClass() {
    return TGraphicClass::Define<TTwoPages, TDibGraphic>("TTwoPages");
  }
  TGraphicClass ClassType() const override { return StaticClass(); }
  int CountPages(TStream&) override { return 2; }
  void ReadPage(TStream&, int Number) override { Allocate(Number, 1, 0, 0, {}, ifGray256); }
};

TEST(DibGraphicTest, AllocateMakesZeroFilledRowsOfTheFormat) {
  TDibGraphic image;
  image.Allocate(10, 3, 300, 0, {}, ifGray16);
  EXPECT_EQ(image.ImageFormat(), ifGray16);
  EXPECT_EQ(image.RowSize(), 8);  // 40 bits padded to 64
  EXPECT_EQ(image.XResolution(), 300);
  EXPECT_EQ(image.YResolution(), kScreenResolution);
  ASSERT_EQ(image.Dib().Bits.size(), 24u);
  for (uint8_t byte : image.Dib().Bits) EXPECT_EQ(byte, 0);
  // Bottom-up: the top row is the last one in memory.
  EXPECT_EQ(image.ScanLine(0), image.Dib().Bits.data() + 16);
  EXPECT_EQ(image.Palette()[15], (TRGBColor{255, 255, 255}));
  EXPECT_EQ(image.Palette()[1], (TRGBColor{17, 17, 17}));
}

TEST(DibGraphicTest, FormatsAndTheirDefaults) {
  const TPixelFormat pixelFormats[] = {pf1bit, pf4bit, pf8bit, pf4bit, pf8bit, pf24bit};
  const size_t paletteSizes[] = {2, 16, 256, 0, 0, 0};
  for (int format = ifBlackWhite; format <= ifTrueColor; ++format) {
    const auto f = static_cast<TImageFormat>(format);
    EXPECT_EQ(PixelFormatOf(f), pixelFormats[format]);
    EXPECT_EQ(DefaultPalette(f).size(), paletteSizes[format]);
  }
  EXPECT_STREQ(ImageFormatName(ifBlackWhite), "Black and white");
  EXPECT_STREQ(ImageFormatName(ifGray16), "16 shades of gray");
  EXPECT_STREQ(ImageFormatName(ifGray256), "256 shades of gray");
  EXPECT_STREQ(ImageFormatName(ifColor16), "16 color");
  EXPECT_STREQ(ImageFormatName(ifColor256), "256 color");
  EXPECT_STREQ(ImageFormatName(ifTrueColor), "True color");
}

TEST(DibGraphicTest, AllocateRefusesBadFormatsAndHugeSizes) {
  TDibGraphic image;
  try {
    image.Allocate(1, 1, 0, 0, {}, static_cast<TImageFormat>(6));
    FAIL() << "allocated format 6";
  } catch (const EImagingError& error) {
    EXPECT_EQ(error.Message(), "Internal error: Invalid image format");
  }
  try {
    image.Allocate(70000, 70000, 0, 0, {}, ifBlackWhite);
    FAIL() << "allocated 4.9e9 pixels";
  } catch (const EImagingError& error) {
    EXPECT_EQ(error.Message(), "Image of 70000 x 70000 pixels is too large");
  }
  try {
    image.Allocate(0, 300000000, 0, 0, {}, ifBlackWhite);
    FAIL() << "allocated 300000000 rows";
  } catch (const EImagingError& error) {
    EXPECT_EQ(error.Message(), "Image of 0 x 300000000 pixels is too large");
  }
  image.SetMaxPixels(100);
  EXPECT_THROW(image.Allocate(11, 10, 0, 0, {}, ifTrueColor), EImagingError);
  image.Allocate(10, 10, 0, 0, {}, ifTrueColor);
  EXPECT_EQ(image.Width(), 10);
}

TEST(DibGraphicTest, AssignFromBitmapsKeepsWhatTheyHold) {
  TBitmap grey;
  TDib dib = MakeDib(2, 1, pf8bit, DefaultPalette(ifGray256));
  dib.Row(0)[1] = 77;
  grey.SetDib(dib);
  TDibGraphic image;
  image.Assign(grey);
  EXPECT_EQ(image.ImageFormat(), ifGray256);
  EXPECT_EQ(image.Pixel(1, 0), (TRGBColor{77, 77, 77}));

  // A two-colour bitmap that is not black and white keeps its colours in 16 colours.
  TBitmap twoColours;
  twoColours.SetDib(MakeDib(3, 2, pf1bit, {{0, 0, 255}, {255, 255, 0}}));
  image.Assign(twoColours);
  EXPECT_EQ(image.ImageFormat(), ifColor16);
  EXPECT_EQ(image.Pixel(2, 1), (TRGBColor{255, 255, 0}));

  TBitmap deep;
  deep.SetDib(MakeDib(2, 2, pf32bit, {}));
  image.Assign(deep);
  EXPECT_EQ(image.ImageFormat(), ifTrueColor);
  EXPECT_EQ(image.Pixel(1, 1), clWhite);
}

TEST(DibGraphicTest, AssignFromAnyOtherGraphicDrawsIntoBlack) {
  TRedSquare square;
  TDibGraphic image;
  image.Assign(square);
  EXPECT_EQ(image.ImageFormat(), ifTrueColor);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.Pixel(0, 0), clBlack);
  EXPECT_EQ(image.Pixel(1, 1), (TRGBColor{255, 0, 0}));
  EXPECT_EQ(image.Pixel(3, 2), clBlack);
}

TEST(DibGraphicTest, AssignToBitmapAndDrawCarryThePixels) {
  TDibGraphic image;
  image.Allocate(2, 2, 0, 0, {}, ifTrueColor);
  image.SetPixel(1, 0, {1, 2, 3});
  TBitmap bitmap;
  bitmap.Assign(image);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), (TRGBColor{1, 2, 3}));

  TBitmap target;
  target.SetSize(4, 4);
  target.Canvas().StretchDraw(Rect(0, 0, 4, 4), image);
  EXPECT_EQ(target.Canvas().Pixel(3, 1), (TRGBColor{1, 2, 3}));
  EXPECT_EQ(target.Canvas().Pixel(0, 3), clBlack);
}

TEST(DibGraphicTest, PlainDibGraphicReadsAndWritesBmp) {
  TDibGraphic image;
  image.Allocate(3, 2, 150, 150, {}, ifGray256);
  image.ScanLine(1)[2] = 200;
  TMemoryStream stream;
  image.SaveToStream(stream);
  stream.SetPosition(0);
  TDibGraphic copy;
  copy.LoadFromStream(stream);
  EXPECT_EQ(copy.ImageFormat(), ifGray256);
  EXPECT_EQ(copy.XResolution(), 150);
  EXPECT_EQ(copy.Dib().Bits, image.Dib().Bits);
}

TEST(DibGraphicTest, PagesAreReadShownAndRefusedOutOfRange) {
  TMemoryStream stream;
  TTwoPages image;
  image.SetReadAllPages(true);
  image.LoadFromStream(stream);
  EXPECT_EQ(image.PageCount(), 2);
  EXPECT_EQ(image.Width(), 1);
  image.ShowPage(2);
  EXPECT_EQ(image.Width(), 2);
  EXPECT_EQ(image.CurrentPage(), 2);
  try {
    image.ShowPage(3);
    FAIL() << "showed page 3 of 2";
  } catch (const EImagingError& error) {
    EXPECT_EQ(error.Message(), "Frame 3 does not exist");
  }

  TTwoPages single;
  single.SetPageToRead(2);
  single.LoadFromStream(stream);
  EXPECT_EQ(single.Width(), 2);
  EXPECT_EQ(single.PageCount(), 0);
  single.SetPageToRead(0);
  EXPECT_THROW(single.LoadFromStream(stream), EImagingError);
  EXPECT_TRUE(single.Empty());
}

TEST(DibGraphicTest, PageTimerStepsThroughThePagesInALoop) {
  TMemoryStream stream;
  TTwoPages image;
  image.SetReadAllPages(true);
  image.LoadFromStream(stream);
  std::vector<int> shown;
  image.OnChange = [&](TGraphic&) { shown.push_back(image.Width()); };
  image.SetPageTimerEnabled(true);
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return shown.size() >= 3; }));
  image.SetPageTimerEnabled(false);
  EXPECT_EQ(shown, (std::vector<int>{2, 1, 2}));
}

TEST(NegativeTransformTest, InvertsGreysAndColoursAndPalettes) {
  TDibGraphic grey;
  grey.Allocate(3, 1, 0, 0, {}, ifGray256);
  grey.ScanLine(0)[0] = 10;
  TNegativeTransform().Apply(grey);
  EXPECT_EQ(grey.Pixel(0, 0), (TRGBColor{245, 245, 245}));
  EXPECT_EQ(grey.Pixel(2, 0), clWhite);

  TDibGraphic bits;
  bits.Allocate(9, 1, 0, 0, {}, ifBlackWhite);
  TNegativeTransform().Apply(bits);
  EXPECT_EQ(bits.Pixel(8, 0), clWhite);

  TDibGraphic colour;
  colour.Allocate(1, 1, 0, 0, {}, ifTrueColor);
  colour.SetPixel(0, 0, {1, 100, 255});
  TNegativeTransform().Apply(colour);
  EXPECT_EQ(colour.Pixel(0, 0), (TRGBColor{254, 155, 0}));

  TDibGraphic palette;
  palette.Allocate(1, 1, 0, 0, {{10, 20, 30}}, ifColor256);
  TNegativeTransform().Apply(palette);
  EXPECT_EQ(palette.ImageFormat(), ifColor256);
  EXPECT_EQ(palette.Pixel(0, 0), (TRGBColor{245, 235, 225}));
}

}  // namespace
