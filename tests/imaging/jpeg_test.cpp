#include <gtest/gtest.h>
#include <jerror.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <utility>

#include "imaging/canvas.h"
#include "imaging/file_formats.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/imaging/jpeg_peer.h"
#include "tests/support/rgb_image.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kStartOfFrame{0xFF, 0xC0};
const Bytes kStartOfScan{0xFF, 0xDA};

void Load(TJPEGImage& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

Bytes Save(TGraphic& graphic) {
  TMemoryStream stream;
  graphic.SaveToStream(stream);
  return stream.Bytes();
}

// The bitmap's rows without their padding, top first, as the peer gives them.
Bytes RowsOf(const TBitmap& bitmap) {
  const int bytesPerPixel = bitmap.PixelFormat() == pf8bit ? 1 : 3;
  Bytes rows;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    rows.insert(rows.end(), row, row + bitmap.Width() * bytesPerPixel);
  }
  return rows;
}

TPalette PaletteOf(const PeerImage& peer) {
  TPalette palette;
  const bool grey = peer.colormap.size() == 1;
  for (size_t i = 0; i < peer.colormap[0].size(); ++i)
    palette.push_back(
        grey ? TRGBColor{peer.colormap[0][i], peer.colormap[0][i], peer.colormap[0][i]}
             : TRGBColor{peer.colormap[2][i], peer.colormap[1][i], peer.colormap[0][i]});
  return palette;
}

void ExpectSameAsPeer(TJPEGImage& image, const PeerImage& peer) {
  TBitmap& bitmap = image.Bitmap();
  ASSERT_EQ(bitmap.Width(), peer.width);
  ASSERT_EQ(bitmap.Height(), peer.height);
  EXPECT_EQ(RowsOf(bitmap), peer.rows);
  if (!peer.colormap.empty()) {
    EXPECT_EQ(bitmap.Palette(), PaletteOf(peer));
  }
}

class JpegTest : public ::testing::Test {
 protected:
  const Bytes colour_ = PeerEncode(67, 45);
};

TEST_F(JpegTest, LoadReadsOnlyTheHeader) {
  TJPEGImage image;
  Load(image, colour_);
  EXPECT_EQ(image.Width(), 67);
  EXPECT_EQ(image.Height(), 45);
  EXPECT_FALSE(image.Empty());
  EXPECT_FALSE(image.Data().Grayscale);
  EXPECT_FALSE(image.ProgressiveEncoding());
  // A body damaged after the header (from the start-of-scan marker on) fails only when
  // drawn, if at all.
  const uint8_t startOfScan[] = {0xFF, 0xDA};
  const auto scan = std::search(colour_.begin(), colour_.end(), startOfScan, startOfScan + 2);
  Bytes damaged(colour_.begin(), scan + 20);
  damaged.resize(damaged.size() + 2000, 0xFF);
  EXPECT_NO_THROW(Load(image, damaged));
  EXPECT_EQ(image.Width(), 67);
}

TEST_F(JpegTest, DecodeEqualsPlainLibjpegForEachSetting) {
  TJPEGImage plain;
  Load(plain, colour_);
  ExpectSameAsPeer(plain, PeerDecode(colour_));

  TJPEGImage half;
  half.SetScale(jsHalf);
  Load(half, colour_);
  EXPECT_EQ(half.Width(), 34);  // before decoding, the library's scaled size
  ExpectSameAsPeer(half, PeerDecode(colour_, [](auto& info) { info.scale_denom = 2; }));

  TJPEGImage blocky;
  blocky.SetSmoothing(false);
  blocky.SetScale(jsEighth);
  Load(blocky, colour_);
  ExpectSameAsPeer(blocky, PeerDecode(colour_, [](auto& info) {
                     info.scale_denom = 8;
                     info.do_block_smoothing = FALSE;
                   }));

  TJPEGImage fast;
  fast.SetPerformance(jpBestSpeed);
  Load(fast, colour_);
  ExpectSameAsPeer(fast, PeerDecode(colour_, [](auto& info) {
                     info.dct_method = JDCT_IFAST;
                     info.two_pass_quantize = FALSE;
                     info.dither_mode = JDITHER_ORDERED;
                   }));
}

TEST_F(JpegTest, EightBitDecodeQuantizesTo236Colours) {
  TJPEGImage image;
  image.SetPixelFormat(jf8Bit);
  Load(image, colour_);
  const PeerImage peer = PeerDecode(colour_, [](auto& info) {
    info.quantize_colors = TRUE;
    info.desired_number_of_colors = 236;
  });
  ExpectSameAsPeer(image, peer);
  EXPECT_EQ(image.Bitmap().PixelFormat(), pf8bit);
  EXPECT_LE(image.Bitmap().Palette().size(), 236u);
  const Bytes indices = RowsOf(image.Bitmap());
  EXPECT_LT(*std::max_element(indices.begin(), indices.end()), 236);
}

TEST_F(JpegTest, PaletteGivenBeforeDecodingIsUsedExactly) {
  const TPalette given{{0, 0, 0}, {255, 255, 255}, {200, 30, 30}, {30, 200, 30}};
  TJPEGImage image;
  image.SetPixelFormat(jf8Bit);
  image.SetPalette(given);
  Load(image, colour_);
  EXPECT_EQ(image.Bitmap().Palette(), given);
  const Bytes indices = RowsOf(image.Bitmap());
  EXPECT_LT(*std::max_element(indices.begin(), indices.end()), 4);
  // In 24-bit mode a given palette is not used.
  TJPEGImage deep;
  deep.SetPalette(given);
  Load(deep, colour_);
  ExpectSameAsPeer(deep, PeerDecode(colour_));
}

TEST_F(JpegTest, GrayscaleFilesAndGrayscaleOutput) {
  const Bytes grey = PeerEncode(40, 30, {.space = JCS_GRAYSCALE});
  TJPEGImage image;
  Load(image, grey);
  EXPECT_TRUE(image.Data().Grayscale);
  const auto quantized = [](auto& info) {
    info.quantize_colors = TRUE;
    info.desired_number_of_colors = 236;
  };
  ExpectSameAsPeer(image, PeerDecode(grey, quantized));
  const TPalette palette = image.Bitmap().Palette();
  EXPECT_EQ(palette[5].Red, palette[5].Blue);

  TJPEGImage asked;
  asked.SetGrayscale(true);
  Load(asked, colour_);
  ExpectSameAsPeer(asked, PeerDecode(colour_, [&](auto& info) {
                     info.out_color_space = JCS_GRAYSCALE;
                     quantized(info);
                   }));
}

TEST_F(JpegTest, ProgressiveFilesLoadAndProgressiveDisplayEndsWithTheFullDecode) {
  const Bytes progressive = PeerEncode(50, 33, {.progressive = true});
  TJPEGImage image;
  Load(image, progressive);
  EXPECT_TRUE(image.ProgressiveEncoding());
  ExpectSameAsPeer(image, PeerDecode(progressive));

  TJPEGImage shown;
  shown.SetProgressiveDisplay(true);
  int redraws = 0;
  shown.OnProgress = [&](TGraphic&, TProgressStage stage, uint8_t, bool redraw, const TRect&,
                         const std::string&) {
    if (stage == psRunning && redraw) ++redraws;
  };
  Load(shown, progressive);
  ExpectSameAsPeer(shown, PeerDecode(progressive));
  EXPECT_GT(redraws, 1);  // one redraw per scan
}

TEST_F(JpegTest, TruncatedBodyLoadsAndDraws) {
  const Bytes large = PeerEncode(300, 200);
  const Bytes cut(large.begin(), large.begin() + large.size() * 6 / 10);
  TJPEGImage image;
  Load(image, cut);
  TBitmap target;
  target.SetSize(300, 200);
  EXPECT_NO_THROW(target.Canvas().Draw(0, 0, image));
  // The rows before the cut are those of the whole file.
  const PeerImage whole = PeerDecode(large);
  const Bytes rows = RowsOf(image.Bitmap());
  const size_t firstRows = 300 * 3 * 16;
  EXPECT_TRUE(std::equal(rows.begin(), rows.begin() + firstRows, whole.rows.begin()));
}

// Scan data damaged inside a file that still ends in its EOI marker: libjpeg decodes it
// with a "Corrupt JPEG data" warning, and the picture is marked with that warning as a cut
// one is. The same file whole is not.
TEST_F(JpegTest, CorruptScanDataMarksThePictureDamaged) {
  const Bytes whole = PeerEncode(300, 200);
  const size_t scan =
      std::search(whole.begin(), whole.end(), kStartOfScan.begin(), kStartOfScan.end()) -
      whole.begin();
  const size_t middle = (scan + whole.size()) / 2;
  Bytes removed = whole;
  removed.erase(removed.begin() + middle, removed.begin() + middle + 500);
  Bytes scrambled = whole;
  for (size_t i = middle; i < middle + 50; ++i) scrambled[i] = static_cast<uint8_t>(i * 73 % 255);
  const std::pair<Bytes, std::string> cases[] = {
      {whole, ""},
      {removed, "Corrupt JPEG data: premature end of data segment"},
      {scrambled, "Corrupt JPEG data: "},
  };
  for (const auto& [bytes, warning] : cases) {
    TJPEGImage image;
    Load(image, bytes);
    image.Bitmap();
    EXPECT_EQ(image.Truncated(), !warning.empty()) << warning;
    EXPECT_TRUE(image.Warnings().starts_with(warning)) << image.Warnings();
  }
}

// Errors carry libjpeg's number and its own text.
TEST_F(JpegTest, BadBytesFailAtLoadWithTheLibrarysTextAndKeepTheImage) {
  TJPEGImage image;
  Load(image, colour_);
  Bytes twelveBit = colour_;
  const auto frame =
      std::search(twelveBit.begin(), twelveBit.end(), kStartOfFrame.begin(), kStartOfFrame.end());
  ASSERT_NE(frame, twelveBit.end());
  frame[4] = 12;  // the sample precision
  const std::pair<Bytes, std::string> cases[] = {
      {Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0},
       "JPEG error #" + std::to_string(JERR_NO_SOI) + ": Not a JPEG file: starts with 0x47 0x49"},
      {twelveBit, "JPEG error #" + std::to_string(JERR_BAD_PRECISION) +
                      ": Unsupported JPEG data precision 12"},
  };
  for (const auto& [bytes, message] : cases) {
    try {
      Load(image, bytes);
      ADD_FAILURE() << message;
    } catch (const EJPEG& error) {
      EXPECT_EQ(error.Message(), message);
    }
  }
  EXPECT_EQ(image.Width(), 67);
  // Zero bytes give an empty image.
  Load(image, {});
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(image.Width(), 0);
}

// Ink files as independent writers make them: Adobe's inverted CMYK (ImageMagick, Pillow),
// YCCK (Adobe's transform 2) and plain CMYK without an Adobe marker (libjpeg); each shown
// as ImageMagick shows it.
TEST_F(JpegTest, InkJpegsShowAsImageMagickShowsThem) {
  struct TWriter {
    const char* what;
    std::function<void(const TempDir&)> write;  // writes ink.jpg from source.ppm
  };
  auto shell = [](const std::string& command) {
    return [command](const TempDir& dir) {
      const std::string run = "cd '" + dir.Path() + "' && " + command + " >/dev/null 2>&1";
      ASSERT_EQ(std::system(run.c_str()), 0) << command;
    };
  };
  auto libjpeg = [](PeerEncodeOptions options) {
    return [options](const TempDir& dir) {
      const Bytes file = PeerEncode(32, 16, options);
      WriteWholeFile(dir.File("ink.jpg"), std::string(file.begin(), file.end()));
    };
  };
  const TWriter writers[] = {
      {"ImageMagick", shell("convert source.ppm -colorspace CMYK -quality 95 ink.jpg")},
      // Debian's Pillow, not a Python environment's that may lack it.
      {"Pillow", shell("/usr/bin/python3 -c \"from PIL import Image; "
                       "Image.open('source.ppm').convert('CMYK').save('ink.jpg', quality=95)\"")},
      {"libjpeg YCCK", libjpeg({.quality = 95, .space = JCS_CMYK, .stored = JCS_YCCK})},
      {"libjpeg CMYK without Adobe marker",
       libjpeg({.quality = 95, .space = JCS_CMYK, .adobeMarker = false})},
  };
  for (const TWriter& writer : writers) {
    TempDir dir;
    std::string ppm = "P6\n32 16\n255\n";
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x)
        ppm +=
            {static_cast<char>(x * 8), static_cast<char>(y * 16), static_cast<char>(255 - x * 4)};
    WriteWholeFile(dir.File("source.ppm"), ppm);
    writer.write(dir);
    const std::string peerRun = "cd '" + dir.Path() +
                                "' && convert ink.jpg -colorspace sRGB -depth 8 peer.ppm "
                                ">/dev/null 2>&1";
    ASSERT_EQ(std::system(peerRun.c_str()), 0) << writer.what;
    const TRgbImage peer = ReadRgbPpm(dir.File("peer.ppm"));
    const std::string file = ReadWholeFile(dir.File("ink.jpg"));
    TJPEGImage image;
    Load(image, Bytes(file.begin(), file.end()));
    TBitmap& bitmap = image.Bitmap();
    ASSERT_EQ(bitmap.Width(), peer.Width) << writer.what;
    ASSERT_EQ(bitmap.Height(), peer.Height) << writer.what;
    int worst = 0;
    for (int y = 0; y < peer.Height; ++y)
      for (int x = 0; x < peer.Width; ++x) {
        const TRGBColor ours = bitmap.Canvas().Pixel(x, y);
        const TRGBColor theirs = peer.At(x, y);
        worst = std::max({worst, std::abs(ours.Red - theirs.Red),
                          std::abs(ours.Green - theirs.Green), std::abs(ours.Blue - theirs.Blue)});
      }
    // The same libjpeg samples on both sides; only the rounding of the mix may differ.
    EXPECT_LE(worst, 1) << writer.what;
  }
}

TEST_F(JpegTest, EncodesAtTheQualityWithLibraryDefaults) {
  TBitmap bitmap;
  TJPEGImage source;
  Load(source, colour_);
  bitmap.Assign(source);
  TJPEGImage zero, one, fifty;
  zero.SetCompressionQuality(0);
  one.SetCompressionQuality(1);
  fifty.SetCompressionQuality(50);
  for (TJPEGImage* image : {&zero, &one, &fifty}) image->Assign(bitmap);
  const Bytes atZero = Save(zero);
  EXPECT_EQ(atZero, Save(one));
  EXPECT_NE(atZero, Save(fifty));
  // What we wrote decodes with the peer to the bitmap, within JPEG's loss.
  const PeerImage back = PeerDecode(Save(fifty));
  const Bytes original = RowsOf(bitmap);
  int worst = 0;
  for (size_t i = 0; i < original.size(); ++i)
    worst = std::max(worst, std::abs(original[i] - back.rows[i]));
  EXPECT_LT(worst, 64);
  EXPECT_EQ(fifty.Data().Width, 67);
}

TEST_F(JpegTest, GrayscaleAndProgressiveEncoding) {
  TBitmap bitmap;
  bitmap.SetSize(20, 10);
  bitmap.Canvas().FillRect(Rect(0, 0, 10, 10), {200, 10, 10});
  TJPEGImage grey;
  grey.SetGrayscale(true);
  grey.SetProgressiveEncoding(true);
  grey.Assign(bitmap);
  TJPEGImage back;
  Load(back, Save(grey));
  EXPECT_TRUE(back.Data().Grayscale);
  EXPECT_TRUE(back.ProgressiveEncoding());
  // An 8-bit source is converted on a private copy; the source stays as it was.
  TBitmap paletted;
  paletted.SetPixelFormat(pf8bit);
  paletted.SetSize(8, 8);
  TJPEGImage image;
  image.Assign(paletted);
  EXPECT_FALSE(Save(image).empty());
  EXPECT_EQ(paletted.PixelFormat(), pf8bit);
}

TEST_F(JpegTest, EmptyBitmapSavesAnEmptyFile) {
  TempDir dir;
  TBitmap empty;
  TJPEGImage image;
  image.Assign(empty);
  EXPECT_NO_THROW(image.SaveToFile(dir.File("empty.jpg")));
  EXPECT_TRUE(FileExists(dir.File("empty.jpg")));
  EXPECT_EQ(ReadWholeFile(dir.File("empty.jpg")), "");
}

TEST_F(JpegTest, AssignSharesBytesAndCopiesTheDecodedBitmap) {
  TJPEGImage first;
  Load(first, colour_);
  first.Bitmap();
  TJPEGImage second;
  second.Assign(first);
  EXPECT_EQ(&second.Data(), &first.Data());
  EXPECT_NE(&second.Bitmap(), &first.Bitmap());
  EXPECT_EQ(RowsOf(second.Bitmap()), RowsOf(first.Bitmap()));
  TBitmap target;
  second.AssignTo(target);
  EXPECT_EQ(target.Width(), 67);
}

TEST_F(JpegTest, SizeCannotChange) {
  TJPEGImage image;
  try {
    image.SetWidth(3);
    FAIL();
  } catch (const EInvalidGraphicOperation& error) {
    EXPECT_EQ(error.Message(), "Cannot change the size of a JPEG image");
  }
  EXPECT_THROW(image.SetHeight(3), EInvalidGraphicOperation);
}

TEST_F(JpegTest, ProgressBeginsAndEndsAndAnAbortStopsQuietly) {
  TJPEGImage image;
  Load(image, colour_);
  std::vector<std::pair<TProgressStage, int>> seen;
  image.OnProgress = [&](TGraphic&, TProgressStage stage, uint8_t percent, bool, const TRect&,
                         const std::string&) {
    seen.push_back({stage, percent});
  };
  image.Bitmap();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front().first, psStarting);
  EXPECT_EQ(seen.back(), std::make_pair(psEnding, 100));

  TJPEGImage aborted;
  Load(aborted, colour_);
  seen.clear();
  aborted.OnProgress = [&](TGraphic&, TProgressStage stage, uint8_t percent, bool, const TRect&,
                           const std::string&) {
    seen.push_back({stage, percent});
    if (stage == psStarting) throw EAbort("stop");
  };
  EXPECT_NO_THROW(aborted.Bitmap());
  EXPECT_EQ(seen.back(), std::make_pair(psEnding, 0));
}

TEST_F(JpegTest, RegisteredForJpegAndJpg) {
  RegisterJPEGFormats();
  TempDir dir;
  WriteWholeFile(dir.File("chart.JPG"), std::string(colour_.begin(), colour_.end()));
  TPicture picture;
  picture.LoadFromFile(dir.File("chart.JPG"));
  EXPECT_EQ(picture.Graphic()->ClassType(), TJPEGImage::StaticClass());
  EXPECT_EQ(FileFormats().FindExt("jpeg"), TJPEGImage::StaticClass());
  EXPECT_EQ(FileFormats().Rows().back().Description, "JPEG Image File");
  UnregisterJPEGFormats();
  EXPECT_FALSE(FileFormats().FindExt("jpg"));
}

}  // namespace
