#include "imaging/ppm_graphic.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

std::unique_ptr<TPpmGraphic> Read(const std::string& bytes) {
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  auto image = std::make_unique<TPpmGraphic>();
  image->LoadFromStream(stream);
  return image;
}

std::string Write(TPpmGraphic& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

std::string ReadError(const std::string& bytes) {
  try {
    Read(bytes);
  } catch (const EImagingError& error) {
    return error.Message();
  }
  return "";
}

constexpr TRGBColor kGrey(uint8_t level) {
  return {level, level, level};
}

TEST(PpmGraphicTest, PlainAndRawBitmapsShowOneAsBlack) {
  // P1 digits need no blanks between them; comments may stand in the header.
  auto plain = Read("P1\n# two rows\n3 2\n010 1 0 1");
  EXPECT_EQ(plain->ImageFormat(), ifBlackWhite);
  EXPECT_EQ(plain->Pixel(0, 0), clWhite);
  EXPECT_EQ(plain->Pixel(1, 0), clBlack);
  EXPECT_EQ(plain->Pixel(2, 1), clBlack);

  auto raw = Read(std::string("P4 10 1\n") + "\xC0\x40");
  EXPECT_EQ(raw->Width(), 10);
  EXPECT_EQ(raw->Pixel(0, 0), clBlack);
  EXPECT_EQ(raw->Pixel(2, 0), clWhite);
  EXPECT_EQ(raw->Pixel(9, 0), clBlack);
}

TEST(PpmGraphicTest, GreymapsScaleToTheirMaximum) {
  auto plain = Read("P2 3 1 15\n0 15 5");
  EXPECT_EQ(plain->ImageFormat(), ifGray256);
  EXPECT_EQ(plain->Pixel(1, 0), kGrey(255));
  EXPECT_EQ(plain->Pixel(2, 0), kGrey(85));

  auto raw = Read(std::string("P5 2 1 255\n") + std::string("\x00\x80", 2));
  EXPECT_EQ(raw->Pixel(1, 0), kGrey(128));

  // Two bytes a sample, most significant first.
  auto wide = Read(std::string("P5 2 1 65535\n") + std::string("\xFF\xFF\x80\x00", 4));
  EXPECT_EQ(wide->Pixel(0, 0), kGrey(255));
  EXPECT_EQ(wide->Pixel(1, 0), kGrey(128));
}

TEST(PpmGraphicTest, PixmapsAreTrueColour) {
  auto plain = Read("P3 2 1 255 255 0 0  1 2 3");
  EXPECT_EQ(plain->ImageFormat(), ifTrueColor);
  EXPECT_EQ(plain->Pixel(0, 0), (TRGBColor{255, 0, 0}));
  EXPECT_EQ(plain->Pixel(1, 0), (TRGBColor{1, 2, 3}));

  auto raw = Read(std::string("P6\n1 2\n100\n") + std::string("\x64\x00\x32\x00\x00\x64", 6));
  EXPECT_EQ(raw->Pixel(0, 0), (TRGBColor{255, 0, 128}));
  EXPECT_EQ(raw->Pixel(0, 1), (TRGBColor{0, 0, 255}));
}

TEST(PpmGraphicTest, BadFilesHaveClearErrors) {
  EXPECT_EQ(ReadError("GIF89a"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P7 1 1 255\n"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P5 1 x 255\n"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P5 1 1 0\n\x01"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P5 1 1 70000\n\x01\x01"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P1 2 1 0 2"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P2 2 1 9 1"), "PBM, PGM or PPM file ends early");
  EXPECT_EQ(ReadError("P6 2 2 255\nabc"), "PBM, PGM or PPM file ends early");
  EXPECT_EQ(ReadError("P5 99999999999 1 255\n"), "Invalid PBM, PGM or PPM file");
  // No pixels but half a billion rows to walk.
  EXPECT_EQ(ReadError("P1 0 553565535 0"), "Invalid PBM, PGM or PPM file");
  EXPECT_EQ(ReadError("P6 2 0 255\n"), "Invalid PBM, PGM or PPM file");
}

TEST(PpmGraphicTest, HugeSizesAreRefusedBeforeAllocating) {
  EXPECT_EQ(ReadError("P6 30000 30000 255\n"), "Image of 30000 x 30000 pixels is too large");
  // Within the limit, but the file cannot hold the pixels: nothing is allocated for them.
  EXPECT_EQ(ReadError("P6 16000 16000 255\nxyz"), "PBM, PGM or PPM file ends early");
}

TEST(PpmGraphicTest, WritesRawFilesThatReadBack) {
  auto bitmap = Read("P1 9 1 1 0 1 1 0 0 0 0 1");
  EXPECT_EQ(Write(*bitmap), std::string("P4\n9 1\n") + std::string("\xB0\x80", 2));

  auto grey = Read("P2 2 1 255 7 200");
  EXPECT_EQ(Write(*grey), std::string("P5\n2 1\n255\n") + "\x07\xC8");

  auto colour = Read("P3 1 1 255 9 8 7");
  EXPECT_EQ(Write(*colour), std::string("P6\n1 1\n255\n") + "\x09\x08\x07");

  // Palette images are written as their colours.
  TPpmGraphic palette;
  palette.Allocate(1, 1, 0, 0, {{10, 20, 30}}, ifColor256);
  EXPECT_EQ(Write(palette), std::string("P6\n1 1\n255\n") + "\x0A\x14\x1E");
}

}  // namespace
