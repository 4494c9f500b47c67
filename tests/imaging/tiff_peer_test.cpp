// TIFF files as other tools write them (ImageMagick, libtiff's tiffcp and tiffset), read
// here and compared with ImageMagick's decoding of the same file, turned upright by its
// own reading of the orientation tag.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "imaging/tiff_graphic.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/rgb_image.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 7;
constexpr int kHeight = 4;

bool RunPeer(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A picture with no symmetry: every pixel its own colour, written as a binary PPM.
std::string SourcePicture(const TempDir& dir) {
  std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ppm += {static_cast<char>(x * 36), static_cast<char>(y * 80), static_cast<char>(x * y * 9)};
  const std::string file = dir.File("source.ppm");
  WriteWholeFile(file, ppm);
  return file;
}

std::unique_ptr<TTiffGraphic> ReadOurs(const std::string& tiff) {
  auto image = std::make_unique<TTiffGraphic>();
  image->LoadFromFile(tiff);
  return image;
}

void ExpectSamePixels(const TTiffGraphic& ours, const TRgbImage& peer, const std::string& what) {
  ASSERT_EQ(ours.Width(), peer.Width) << what;
  ASSERT_EQ(ours.Height(), peer.Height) << what;
  for (int y = 0; y < peer.Height; ++y)
    for (int x = 0; x < peer.Width; ++x)
      ASSERT_EQ(ours.Pixel(x, y), peer.At(x, y)) << what << " at " << x << "," << y;
}

}  // namespace

TEST(TiffPeerTest, CompressionsAndOrientationsAsImageMagickShowsThem) {
  TempDir dir;
  SourcePicture(dir);
  ASSERT_TRUE(
      RunPeer("cd '" + dir.Path() +
              "' && convert source.ppm -compress none plain.tif && "
              "tiffcp -c lzw plain.tif lzw.tif && tiffcp -c lzw:2 plain.tif predictor.tif && "
              "convert source.ppm -threshold 50% -monochrome -compress group4 fax.tif"));
  struct TCase {
    std::string name;
    std::string source;
    int orientation;  // 0: as written
  };
  std::vector<TCase> cases = {{"LZW", "lzw.tif", 0},
                              {"LZW with predictor", "predictor.tif", 0},
                              {"fax, orientation 6", "fax.tif", 6}};
  for (int orientation = 2; orientation <= 8; ++orientation)
    cases.push_back({"LZW, orientation " + std::to_string(orientation), "lzw.tif", orientation});
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string tiff = dir.File("case" + std::to_string(i) + ".tif");
    WriteWholeFile(tiff, ReadWholeFile(dir.File(cases[i].source)));
    const std::string orientation = std::to_string(cases[i].orientation);
    if (cases[i].orientation != 0) {
      ASSERT_TRUE(RunPeer("tiffset -s 274 " + orientation + " '" + tiff + "'"));
    }
  }
  // One ImageMagick run decodes every case, turned upright by its own reading of the tag.
  ASSERT_TRUE(
      RunPeer("cd '" + dir.Path() + "' && mogrify -auto-orient -depth 8 -format ppm case*.tif"));
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = dir.File("case" + std::to_string(i));
    ExpectSamePixels(*ReadOurs(name + ".tif"), ReadRgbPpm(name + ".ppm"), cases[i].name);
  }
}

// What libtiff cannot decode is an error with libtiff's reason, never a black picture.
TEST(TiffPeerTest, ACompressionLibtiffCannotDecodeIsAnErrorWithItsReason) {
  TempDir dir;
  SourcePicture(dir);
  const std::string tiff = dir.File("file.tif");
  // 34712 is JPEG 2000, which Debian's libtiff is built without.
  ASSERT_TRUE(RunPeer("cd '" + dir.Path() + "' && convert source.ppm -compress none file.tif && " +
                      "tiffset -s 259 34712 file.tif"));
  try {
    ReadOurs(tiff);
    FAIL() << "read a file libtiff cannot decode";
  } catch (const ETiffError& error) {
    const std::string prefix = "ETiffError TIFFReadRGBAImage: ";
    EXPECT_EQ(error.Message().substr(0, prefix.size()), prefix) << error.Message();
    EXPECT_GT(error.Message().size(), prefix.size()) << error.Message();
  }
}

// Black-and-white pages as fax software stores them, in every coding, each tagged
// white-is-zero and black-is-zero (the same bits, so one is the other's negative): each is
// shown as libtiff's own RGBA conversion (tiff2rgba) shows it.
TEST(TiffPeerTest, FaxCodingsShowAsTiff2rgbaShowsThemInBothPhotometrics) {
  TempDir dir;
  ASSERT_TRUE(RunPeer("cd '" + dir.Path() +
                      "' && convert -size 40x24 xc:white -fill black -draw 'rectangle 3,2 20,10' "
                      "-draw 'circle 30,16 34,20' -monochrome -depth 1 -compress none mono.tif"));
  const std::pair<const char*, const char*> codings[] = {
      {"G3 1D", "-c g3"}, {"G3 2D", "-c g3:2d"},
      {"G4", "-c g4"},    {"tiled G4", "-c g4 -t -w 16 -l 16"},
      {"LZW", "-c lzw"},
  };
  for (const auto& [what, options] : codings) {
    for (const int photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
      const std::string name = dir.File("page");
      const std::string tagged = std::string(what) + ", photometric " + std::to_string(photometric);
      ASSERT_TRUE(
          RunPeer("cd '" + dir.Path() + "' && tiffcp " + options + " mono.tif page.tif && " +
                  "tiffset -s 262 " + std::to_string(photometric) + " page.tif && " +
                  "tiff2rgba -n -c none page.tif rgb.tif && convert rgb.tif -depth 8 page.ppm"))
          << tagged;
      ExpectSamePixels(*ReadOurs(name + ".tif"), ReadRgbPpm(name + ".ppm"), tagged);
    }
  }
}

// Colour spaces other than grey, indices and RGB are converted as libtiff's RGBA reader
// converts them (CIELab as ImageMagick writes it); pages with alpha (Pillow's, unassociated)
// show over white, as ImageMagick flattens them, to within rounding.
TEST(TiffPeerTest, CieLabIsConvertedAndAlphaShowsOverWhite) {
  TempDir dir;
  SourcePicture(dir);
  ASSERT_TRUE(RunPeer("cd '" + dir.Path() +
                      "' && convert source.ppm -colorspace Lab -compress none lab.tif && "
                      "tiff2rgba -n -c none lab.tif rgb.tif && convert rgb.tif -depth 8 lab.ppm"));
  ExpectSamePixels(*ReadOurs(dir.File("lab.tif")), ReadRgbPpm(dir.File("lab.ppm")), "CIELab");

  for (const std::string mode : {"RGBA", "LA"}) {
    ASSERT_TRUE(RunPeer("cd '" + dir.Path() +
                        "' && /usr/bin/python3 -c \"from PIL import Image; "
                        "im = Image.open('source.ppm').convert('" +
                        mode +
                        "'); "
                        "im.putalpha(Image.linear_gradient('L').resize(im.size)); "
                        "im.save('alpha.tif')\" && "
                        "convert alpha.tif -background white -flatten -depth 8 alpha.ppm"))
        << mode;
    const auto ours = ReadOurs(dir.File("alpha.tif"));
    const TRgbImage peer = ReadRgbPpm(dir.File("alpha.ppm"));
    ASSERT_EQ(ours->Width(), peer.Width) << mode;
    for (int y = 0; y < peer.Height; ++y)
      for (int x = 0; x < peer.Width; ++x) {
        const TRGBColor mine = ours->Pixel(x, y);
        const TRGBColor theirs = peer.At(x, y);
        EXPECT_NEAR(mine.Red, theirs.Red, 1) << mode << " at " << x << "," << y;
        EXPECT_NEAR(mine.Green, theirs.Green, 1) << mode << " at " << x << "," << y;
        EXPECT_NEAR(mine.Blue, theirs.Blue, 1) << mode << " at " << x << "," << y;
      }
  }
}
