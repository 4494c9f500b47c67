#include <gtest/gtest.h>

#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_bitmaps.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kNavy{0, 0, 128};

// A classic 2 x 2 icon at 1 bit per pixel, written out by hand.
const Bytes kTwoByTwo = {
    0,
    0,
    1,
    0,
    1,
    0,  // directory: reserved, type 1 (icon), one image
    2,
    2,
    2,
    0,
    1,
    0,
    1,
    0,  // entry: 2 x 2, 2 colours, 1 plane, 1 bit
    40 + 8 + 8 + 8,
    0,
    0,
    0,  //   bytes of the image
    22,
    0,
    0,
    0,  //   offset of the image
    40,
    0,
    0,
    0,
    2,
    0,
    0,
    0,  // info header: size, width 2
    4,
    0,
    0,
    0,
    1,
    0,
    1,
    0,  //   height 2 x 2 (image and mask), 1 plane, 1 bit
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,  //   no compression, no stated size
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,  //   resolution
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,  //   colours used, important
    128,
    0,
    0,
    0,
    255,
    255,
    255,
    0,  // colour table: navy, white
    0x40,
    0,
    0,
    0,
    0x80,
    0,
    0,
    0,  // image rows, bottom first: (1,1) white; (0,0) white
    0x80,
    0,
    0,
    0,
    0x00,
    0,
    0,
    0,  // mask rows, bottom first: (0,1) transparent
};

std::unique_ptr<TIcon> Load(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromStream(stream);
  return icon;
}

TEST(IconTest, ReadsAClassicIconAndDrawsItThroughItsMask) {
  const auto loaded = Load(kTwoByTwo);
  TIcon& icon = *loaded;
  EXPECT_EQ(icon.Width(), 2);
  EXPECT_EQ(icon.Height(), 2);
  TBitmap target = Filled(2, 2, kRed);
  target.Canvas().Draw(0, 0, icon);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(target.Canvas().Pixel(1, 0), kNavy);
  EXPECT_EQ(target.Canvas().Pixel(0, 1), kRed);  // masked: the destination shows
  EXPECT_EQ(target.Canvas().Pixel(1, 1), clWhite);
  TMemoryStream saved;
  icon.SaveToStream(saved);
  EXPECT_EQ(saved.Bytes(), kTwoByTwo);  // written back unchanged
}

TEST(IconTest, MadeFromATransparentBitmapAndReadBack) {
  TBitmap bitmap;
  bitmap.SetSize(16, 16);
  bitmap.Canvas().FillRect(Rect(4, 4, 12, 12), kNavy);
  bitmap.SetTransparent(true);  // white, the bottom-left pixel, drops out
  TIcon made;
  made.Assign(bitmap);
  TMemoryStream file;
  made.SaveToStream(file);
  const auto loaded = Load(file.Bytes());
  TIcon& icon = *loaded;
  TBitmap target = Filled(16, 16, kRed);
  target.Canvas().Draw(0, 0, icon);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), kRed);
  EXPECT_EQ(target.Canvas().Pixel(5, 5), kNavy);
  TBitmap image;
  icon.AssignTo(image);
  EXPECT_EQ(image.Dib().Bits, bitmap.Dib().Bits);
  TBitmap huge;
  huge.SetSize(300, 10);
  EXPECT_THROW(made.Assign(huge), EInvalidGraphic);
}

TEST(IconTest, AnythingButAClassicIconIsInvalidAndChangesNothing) {
  const auto loaded = Load(kTwoByTwo);
  TIcon& icon = *loaded;
  const auto expectInvalid = [&](const Bytes& bytes) {
    try {
      TMemoryStream stream(bytes);
      icon.LoadFromStream(stream);
      FAIL();
    } catch (const EInvalidGraphic& error) {
      EXPECT_EQ(error.Message(), "Icon image is not valid");
    }
    EXPECT_EQ(icon.Width(), 2);
  };
  for (size_t cut : {0, 5, 21, 40, 61})
    expectInvalid(Bytes(kTwoByTwo.begin(), kTwoByTwo.begin() + cut));
  Bytes cursor = kTwoByTwo;
  cursor[2] = 2;  // a cursor file
  expectInvalid(cursor);
  Bytes png = kTwoByTwo;
  const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::copy(signature.begin(), signature.end(), png.begin() + 22);
  expectInvalid(png);
  Bytes far = kTwoByTwo;
  far[18] = 0xFF;  // offset past the end
  expectInvalid(far);
  EXPECT_THROW(icon.SetWidth(4), EInvalidGraphicOperation);
}

TEST(IconTest, PictureLoadsIcoFiles) {
  TempDir dir;
  WriteWholeFile(dir.File("app.ICO"), std::string(kTwoByTwo.begin(), kTwoByTwo.end()));
  TPicture picture;
  picture.LoadFromFile(dir.File("app.ICO"));
  EXPECT_EQ(picture.Graphic()->ClassType(), TIcon::StaticClass());
  EXPECT_EQ(picture.Width(), 2);
}

}  // namespace
