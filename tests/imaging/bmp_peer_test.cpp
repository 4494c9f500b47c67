// BMP files checked against ImageMagick: ours decode there to the pixels we hold, and the
// files it writes (every header kind, palettes, bit fields, RLE8) decode here to its pixels.
// A reader and writer wrong in the same way pass a round trip; they do not pass this.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "tests/support/rgb_image.h"
#include "tests/support/temp_dir.h"

namespace {

bool RunPeer(const std::string& arguments) {
  return std::system(("convert " + arguments + " 2>/dev/null").c_str()) == 0;
}

// The image as ImageMagick decodes it; empty when that fails.
TRgbImage PeerDecode(const TempDir& dir, const std::string& bmp) {
  const std::string ppm = dir.File("peer.ppm");
  if (!RunPeer("'" + bmp + "' -depth 8 'ppm:" + ppm + "'")) return {};
  return ReadRgbPpm(ppm);
}

// Channels may differ by Tolerance, for formats whose few bits each side widens its own way.
void ExpectSamePixels(TBitmap& bitmap, const TRgbImage& peer, int tolerance,
                      const std::string& what) {
  ASSERT_EQ(peer.Width, bitmap.Width()) << what;
  ASSERT_EQ(peer.Height, bitmap.Height()) << what;
  int worst = 0;
  for (int y = 0; y < peer.Height; ++y)
    for (int x = 0; x < peer.Width; ++x) {
      const TRGBColor ours = bitmap.Canvas().Pixel(x, y);
      const TRGBColor theirs = peer.At(x, y);
      worst = std::max({worst, std::abs(ours.Red - theirs.Red), std::abs(ours.Green - theirs.Green),
                        std::abs(ours.Blue - theirs.Blue)});
    }
  EXPECT_LE(worst, tolerance) << what;
}

// Random colours, stored as the format holds them (palette formats: their nearest entry).
TBitmap RandomBitmap(TPixelFormat format, unsigned seed) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(13, 7);
  std::mt19937 random(seed);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      bitmap.Canvas().SetPixel(x, y,
                               {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                static_cast<uint8_t>(random())});
  return bitmap;
}

// Five or six bits a channel: each side may round the widening to eight its own way.
constexpr int k16BitTolerance = 1;

TEST(BmpPeerTest, OurFilesOfEveryDepthDecodeAlikeInImageMagick) {
  TempDir dir;
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap bitmap = RandomBitmap(format, format);
    const std::string file = dir.File("ours.bmp");
    bitmap.SaveToFile(file);
    ExpectSamePixels(bitmap, PeerDecode(dir, file), format == pf16bit ? k16BitTolerance : 0,
                     "depth " + std::to_string(BitsPerPixel(format)));
  }
}

TEST(BmpPeerTest, ImageMagicksFilesOfEveryKindDecodeToItsPixels) {
  struct TKind {
    const char* options;
    int tolerance;
  };
  // A gradient with a block of another colour in the top-left corner, so that flipped
  // rows or swapped channels show.
  const std::string picture =
      "-size 23x11 gradient:red-blue -fill lime -draw 'rectangle 0,0 4,2' -alpha off ";
  const TKind kinds[] = {
      {"BMP3:", 0},                                          // 40-byte header, 24 bits
      {"BMP:", 0},                                           // 124-byte header
      {"-alpha on BMP:", 0},                                 // 32 bits with masks
      {"-define bmp:subtype=RGB565 BMP:", k16BitTolerance},  // 16 bits, 5-6-5 masks
      {"-define bmp:subtype=RGB555 BMP:", k16BitTolerance},  // 16 bits, 5-5-5 masks
      {"BMP2:", 0},                                          // 12-byte core header
      {"-type Palette BMP2:", 0},                            // core header, core colour table
      {"-type Palette BMP3:", 0},                            // 8 bits, colour table
      {"-type Palette -compress RLE BMP3:", 0},              // RLE8
      {"-colors 16 -type Palette BMP3:", 0},                 // 4 bits
      {"-type Bilevel BMP3:", 0},                            // 1 bit
  };
  TempDir dir;
  for (const TKind& kind : kinds) {
    const std::string file = dir.File("theirs.bmp");
    ASSERT_TRUE(RunPeer(picture + kind.options + "'" + file + "'")) << kind.options;
    TBitmap bitmap;
    bitmap.LoadFromFile(file);
    ExpectSamePixels(bitmap, PeerDecode(dir, file), kind.tolerance, kind.options);
  }
}

}  // namespace
