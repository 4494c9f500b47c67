#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "imaging/canvas.h"
#include "imaging/file_formats.h"
#include "imaging/picture.h"
#include "imaging/png_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/png_peer.h"
#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_bitmaps.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Odd sides, so that the packed rows end mid-byte and every interlace pass has pixels.
constexpr int kWidth = 11;
constexpr int kHeight = 9;
constexpr uint8_t kMidAlpha = 128;

struct PngCase {
  const char* name;
  int colorType;
  int depth;
  bool interlaced = false;
  bool transparency = false;  // tRNS
};

bool HasAlphaChannel(int colorType) {
  return colorType == PNG_COLOR_TYPE_GRAY_ALPHA || colorType == PNG_COLOR_TYPE_RGB_ALPHA;
}

uint16_t MaxSample(int depth) {
  return uint16_t((1u << depth) - 1);
}

// Alpha cycles through transparent, opaque and half.
uint16_t AlphaSample(int x, int y, int depth) {
  const uint16_t levels[] = {0, MaxSample(depth), uint16_t(MaxSample(depth) / 2 + 1)};
  return levels[(x + y) % 3];
}

uint16_t ColorSample(int x, int y, int c, int depth) {
  const uint32_t mixed = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ uint32_t(c) * 977u;
  return uint16_t((mixed >> 7) & MaxSample(depth));
}

PeerPng MakePng(const PngCase& test) {
  PeerPng png{kWidth, kHeight, test.colorType, test.depth, test.interlaced, {}, {}, {}, {}};
  const int channels = PeerChannels(test.colorType);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < channels; ++c)
        png.Samples.push_back(HasAlphaChannel(test.colorType) && c == channels - 1
                                  ? AlphaSample(x, y, test.depth)
                                  : ColorSample(x, y, c, test.depth));
  if (test.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i <= MaxSample(test.depth); ++i) {
      png.Palette.push_back({uint8_t(i * 37), uint8_t(i * 91 + 5), uint8_t(255 - i)});
      if (test.transparency) png.PaletteAlpha.push_back(uint8_t(AlphaSample(i, 0, 8)));
    }
  } else if (test.transparency) {
    // The colour of pixel (1, 1) is the transparent one.
    const auto first = png.Samples.begin() + (kWidth + 1) * channels;
    png.TransparentSample.emplace(first, first + channels);
  }
  return png;
}

uint8_t ToByte(uint16_t sample, int depth) {
  return depth == 16 ? uint8_t(sample >> 8) : uint8_t(sample * 255 / MaxSample(depth));
}

uint8_t OverWhite(uint8_t c, uint8_t alpha) {
  return uint8_t((c * alpha + 255 * (255 - alpha) + 127) / 255);
}

// What pixel (x, y) must look like: the file's colour, 8 bits a sample, over white.
TRGBColor Expected(const PeerPng& png, int x, int y) {
  const int channels = PeerChannels(png.ColorType);
  const auto first = png.Samples.begin() + (size_t(y) * kWidth + x) * channels;
  const std::vector<uint16_t> s(first, first + channels);
  TRGBColor color;
  uint8_t alpha = 255;
  if (png.ColorType == PNG_COLOR_TYPE_PALETTE) {
    color = png.Palette[s[0]];
    if (s[0] < png.PaletteAlpha.size()) alpha = png.PaletteAlpha[s[0]];
  } else {
    const bool grey = channels <= 2;
    color = {ToByte(s[0], png.BitDepth), ToByte(s[grey ? 0 : 1], png.BitDepth),
             ToByte(s[grey ? 0 : 2], png.BitDepth)};
    if (HasAlphaChannel(png.ColorType)) alpha = ToByte(s.back(), png.BitDepth);
    if (png.TransparentSample && *png.TransparentSample == s) alpha = 0;
  }
  return {OverWhite(color.Red, alpha), OverWhite(color.Green, alpha), OverWhite(color.Blue, alpha)};
}

void Load(TGraphic& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

TRGBColor PixelOf(const TBitmap& bitmap, int x, int y) {
  return bitmap.Dib().PixelOfRow(bitmap.ScanLine(y), x);
}

class PngLoadTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngLoadTest, EveryPixelAsTheFileSaysOverWhite) {
  const PeerPng png = MakePng(GetParam());
  TPNGImage image;
  Load(image, WriteLibpngPng(png));
  ASSERT_EQ(image.Width(), kWidth);
  ASSERT_EQ(image.Height(), kHeight);
  EXPECT_EQ(image.Bitmap().PixelFormat(), pf24bit);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(PixelOf(image.Bitmap(), x, y), Expected(png, x, y)) << "at " << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(
    AllColorTypesAndDepths, PngLoadTest,
    ::testing::Values(
        PngCase{"Grey1", PNG_COLOR_TYPE_GRAY, 1}, PngCase{"Grey2", PNG_COLOR_TYPE_GRAY, 2},
        PngCase{"Grey4", PNG_COLOR_TYPE_GRAY, 4}, PngCase{"Grey8", PNG_COLOR_TYPE_GRAY, 8},
        PngCase{"Grey16", PNG_COLOR_TYPE_GRAY, 16},
        PngCase{"Grey8Trns", PNG_COLOR_TYPE_GRAY, 8, false, true},
        PngCase{"Grey16Trns", PNG_COLOR_TYPE_GRAY, 16, false, true},
        PngCase{"GreyAlpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        PngCase{"GreyAlpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
        PngCase{"Rgb8", PNG_COLOR_TYPE_RGB, 8}, PngCase{"Rgb16", PNG_COLOR_TYPE_RGB, 16},
        PngCase{"Rgb8Trns", PNG_COLOR_TYPE_RGB, 8, false, true},
        PngCase{"Rgb16Trns", PNG_COLOR_TYPE_RGB, 16, false, true},
        PngCase{"Rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8},
        PngCase{"Rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16},
        PngCase{"Palette1", PNG_COLOR_TYPE_PALETTE, 1},
        PngCase{"Palette2Trns", PNG_COLOR_TYPE_PALETTE, 2, false, true},
        PngCase{"Palette4", PNG_COLOR_TYPE_PALETTE, 4},
        PngCase{"Palette8Trns", PNG_COLOR_TYPE_PALETTE, 8, false, true},
        PngCase{"InterlacedGrey1", PNG_COLOR_TYPE_GRAY, 1, true},
        PngCase{"InterlacedPalette4Trns", PNG_COLOR_TYPE_PALETTE, 4, true, true},
        PngCase{"InterlacedRgb8", PNG_COLOR_TYPE_RGB, 8, true},
        PngCase{"InterlacedRgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, true}),
    [](const ::testing::TestParamInfo<PngCase>& info) { return info.param.name; });

// A signature, an IHDR chunk with a good CRC declaring width x height RGB pixels, and the
// start of the pixel data, where libpng has read the whole header.
Bytes HeaderOnly(uint32_t width, uint32_t height) {
  Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t side : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(side >> shift));
  bytes.insert(bytes.end(), {8, PNG_COLOR_TYPE_RGB, 0, 0, 0});
  const uLong crc = crc32(0, bytes.data() + 12, 17);
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(crc >> shift));
  bytes.insert(bytes.end(), {0, 0, 0, 1, 'I', 'D', 'A', 'T'});
  return bytes;
}

Bytes HugeChunkClaim(const Bytes& good) {
  constexpr size_t kSignatureAndHeader = 8 + 25;
  Bytes bytes(good.begin(), good.begin() + kSignatureAndHeader);
  const std::string chunk = std::string("\x71\x00\x00\x00tEXt", 8) + "Comment" + '\0' + "x";
  bytes.insert(bytes.end(), chunk.begin(), chunk.end());
  return bytes;
}

// A file with alpha cut inside its pixels: each pixel is as the whole file shows it, or
// white where the data never reached.
TEST(PngImageTest, CutFilesWithAlphaShowWhatWasDecodedOverWhite) {
  for (const PngCase& c : {PngCase{"Rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8},
                           PngCase{"InterlacedRgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, true}}) {
    const PeerPng png = MakePng(c);
    const Bytes good = WriteLibpngPng(png);
    TPNGImage cut;
    Load(cut, Bytes(good.begin(), good.begin() + good.size() * 6 / 10));
    ASSERT_TRUE(cut.Truncated()) << c.name;
    int decoded = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const TRGBColor shown = PixelOf(cut.Bitmap(), x, y);
        decoded += shown == Expected(png, x, y);
        ASSERT_TRUE(shown == Expected(png, x, y) || shown == clWhite)
            << c.name << " at " << x << ", " << y;
      }
    EXPECT_GT(decoded, kWidth) << c.name;
  }
}

TEST(PngImageTest, BadFilesRaiseAndLeaveTheImageAsItWas) {
  const Bytes good = WriteLibpngPng(MakePng({"Rgb8", PNG_COLOR_TYPE_RGB, 8}));
  // A file cut inside its pixels keeps what was decoded, marked as cut.
  TPNGImage cut;
  Load(cut, Bytes(good.begin(), good.end() - 20));
  EXPECT_TRUE(cut.Truncated());
  EXPECT_EQ(cut.Warnings(), "PNG file ends early");
  TPNGImage whole;
  Load(whole, good);
  EXPECT_FALSE(whole.Truncated());
  EXPECT_EQ(cut.Width(), whole.Width());

  const std::string text = "GIF89a, not a PNG";
  const struct {
    Bytes bytes;
    std::string message;
  } bad[] = {
      {Bytes(text.begin(), text.end()), "Not a PNG file"},
      // After the header a chunk that claims 1.9 GB and holds 9 bytes: refused before any
      // of the claim is allocated.
      {HugeChunkClaim(good), "PNG file ends early"},
      {HeaderOnly(100000, 100000), "PNG image is too large (100000 x 100000)"},
  };
  for (const auto& file : bad) {
    TPNGImage image;
    Load(image, good);
    const TDib before = image.Bitmap().Dib();
    EXPECT_EQ(MessageRaised<EInvalidGraphic>([&] { Load(image, file.bytes); }), file.message);
    EXPECT_EQ(image.Bitmap().Dib().Bits, before.Bits);
  }
}

// Three colours, so that the palette formats have something to choose.
TBitmap ThreeColours(TPixelFormat format) {
  TBitmap bitmap = Pattern(13, 5);
  bitmap.Canvas().FillRect(Rect(2, 1, 4, 4), {0, 255, 0});
  bitmap.SetPixelFormat(format);
  return bitmap;
}

Bytes RgbRowsOf(TBitmap& bitmap) {
  Bytes rgb;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TRGBColor c = PixelOf(bitmap, x, y);
      rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
    }
  return rgb;
}

TEST(PngImageTest, SavedFileIsTheBitmapExactlyAsLibpngReadsIt) {
  TempDir dir;
  for (TPixelFormat format : {pf24bit, pf8bit, pf1bit}) {
    TBitmap bitmap = ThreeColours(format);
    TPNGImage png;
    png.Assign(bitmap);
    png.SaveToFile(dir.File("out.png"));
    const std::string saved = ReadWholeFile(dir.File("out.png"));
    const PeerRgb peer = ReadLibpngRgb(Bytes(saved.begin(), saved.end()));
    EXPECT_EQ(peer.Width, 13);
    EXPECT_EQ(peer.Height, 5);
    EXPECT_EQ(peer.Rgb, RgbRowsOf(bitmap)) << "pixel format " << format;
  }
  TPNGImage empty;
  EXPECT_THROW(empty.SaveToFile(dir.File("empty.png")), EInvalidGraphic);
  EXPECT_FALSE(FileExists(dir.File("empty.png")));
}

TEST(PngImageTest, RegisteredForPngFilesOfThePicture) {
  RegisterPNGFormat();
  TempDir dir;
  const Bytes good = WriteLibpngPng(MakePng({"Grey4", PNG_COLOR_TYPE_GRAY, 4}));
  WriteWholeFile(dir.File("chart.PNG"), std::string(good.begin(), good.end()));
  TPicture picture;
  picture.LoadFromFile(dir.File("chart.PNG"));
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Graphic()->ClassType(), TPNGImage::StaticClass());
  EXPECT_EQ(picture.Width(), kWidth);
  EXPECT_EQ(FileFormats().Rows().back().Description, "PNG Image");
  TBitmap copy;
  copy.Assign(*picture.Graphic());
  EXPECT_EQ(copy.Dib().Bits, static_cast<TPNGImage*>(picture.Graphic())->Bitmap().Dib().Bits);
  UnregisterPNGFormat();
  EXPECT_FALSE(FileFormats().FindExt("png"));
}

}  // namespace
