// isoview-convert run as a program on files in a temporary folder.

#include <gtest/gtest.h>

#include <cstdio>

#include "gif/gif_image.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "imaging/tiff_graphic.h"
#include "runtime/stream.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_bitmaps.h"

namespace {

TCommandResult Convert(const std::string& arguments) {
  return RunTool("isoview-convert", arguments);
}

std::string JpegBytes(TBitmap& bitmap, int quality) {
  TJPEGImage jpeg;
  jpeg.SetCompressionQuality(static_cast<uint8_t>(quality));
  jpeg.Assign(bitmap);
  TMemoryStream stream;
  jpeg.SaveToStream(stream);
  return {stream.Bytes().begin(), stream.Bytes().end()};
}

class ConvertTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return "'" + dir_.File(name) + "'"; }
  TempDir dir_;
};

TEST_F(ConvertTest, JpegToBmpIsTheDecodedImage) {
  TBitmap pattern = Pattern(37, 21);
  WriteWholeFile(dir_.File("in.JPG"), JpegBytes(pattern, 90));
  const TCommandResult result = Convert(Path("in.JPG") + " " + Path("out.bmp"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "37x21\n");
  TJPEGImage jpeg;
  jpeg.LoadFromFile(dir_.File("in.JPG"));
  TBitmap saved;
  saved.LoadFromFile(dir_.File("out.bmp"));
  EXPECT_EQ(saved.Dib().Bits, jpeg.Bitmap().Dib().Bits);
}

TEST_F(ConvertTest, BmpToJpegAtTheQualityGivenOr75) {
  TBitmap pattern = Pattern(37, 21);
  pattern.SaveToFile(dir_.File("in.bmp"));
  EXPECT_EQ(Convert(Path("in.bmp") + " " + Path("default.jpeg")).output, "37x21\n");
  EXPECT_EQ(ReadWholeFile(dir_.File("default.jpeg")), JpegBytes(pattern, 75));
  EXPECT_EQ(Convert("-q 20 " + Path("in.bmp") + " " + Path("low.jpg")).status, 0);
  EXPECT_EQ(ReadWholeFile(dir_.File("low.jpg")), JpegBytes(pattern, 20));
  // A BMP written through the picture keeps the bitmap's own bytes.
  EXPECT_EQ(Convert(Path("in.bmp") + " " + Path("copy.bmp")).status, 0);
  EXPECT_EQ(ReadWholeFile(dir_.File("copy.bmp")), ReadWholeFile(dir_.File("in.bmp")));
}

TEST_F(ConvertTest, PngIsReadAndWrittenLosslessly) {
  TBitmap pattern = Pattern(37, 21);
  pattern.SaveToFile(dir_.File("in.bmp"));
  EXPECT_EQ(Convert(Path("in.bmp") + " " + Path("out.png")).output, "37x21\n");
  EXPECT_EQ(Convert(Path("out.png") + " " + Path("back.bmp")).output, "37x21\n");
  TBitmap back;
  back.LoadFromFile(dir_.File("back.bmp"));
  EXPECT_EQ(back.Dib().Bits, pattern.Dib().Bits);
}

TEST_F(ConvertTest, TiffAndNetpbmGoThroughTheViewer) {
  TTiffGraphic tiff;
  tiff.Assign(Pattern(37, 21));
  tiff.SetCompression(tcZLib);
  tiff.SaveToFile(dir_.File("in.TIFF"));
  EXPECT_EQ(Convert(Path("in.TIFF") + " " + Path("tiff.bmp")).output, "37x21\n");
  TBitmap saved;
  saved.LoadFromFile(dir_.File("tiff.bmp"));
  EXPECT_EQ(saved.Canvas().Pixel(30, 5), (TRGBColor{40, 40, 200}));
  EXPECT_EQ(saved.Canvas().Pixel(30, 15), clWhite);

  WriteWholeFile(dir_.File("in.pgm"), "P2 3 2 255 0 50 100 150 200 250");
  EXPECT_EQ(Convert(Path("in.pgm") + " " + Path("pgm.bmp")).output, "3x2\n");
  saved.LoadFromFile(dir_.File("pgm.bmp"));
  EXPECT_EQ(saved.Canvas().Pixel(2, 1), (TRGBColor{250, 250, 250}));

  WriteWholeFile(dir_.File("bad.tif"), "II*\0 not really");
  const TCommandResult bad = Convert(Path("bad.tif") + " " + Path("out.bmp"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.output, "ETiffError TIFFOpen\n");
}

TEST_F(ConvertTest, BmpToGifIsOneWebPaletteFrame) {
  TBitmap pattern = Pattern(37, 21);
  pattern.SaveToFile(dir_.File("in.bmp"));
  EXPECT_EQ(Convert(Path("in.bmp") + " " + Path("out.GIF")).output, "37x21\n");
  const std::string saved = ReadWholeFile(dir_.File("out.GIF"));
  TGIFImage gif;
  gif.Assign(pattern);
  TMemoryStream expected;
  gif.SaveToStream(expected);
  EXPECT_EQ(saved, std::string(expected.Bytes().begin(), expected.Bytes().end()));
  // (200, 40, 40) has the web levels 3, 0, 0 and (40, 40, 200) 0, 0, 3; white stays white.
  const PeerGif peer = ReadGiflibGif({saved.begin(), saved.end()});
  ASSERT_EQ(peer.Frames.size(), 1u);
  EXPECT_EQ(peer.Frames[0].LocalColors, 256);
  EXPECT_EQ(peer.Frames[0].Pixels[0], 3 * 36);
  EXPECT_EQ(peer.Frames[0].Pixels[20], 3);
  EXPECT_EQ(peer.Frames[0].Pixels[size_t(20 * 37 + 36)], 215);
}

TEST_F(ConvertTest, GifShowsItsFirstFrameOnWhite) {
  // A 6 x 4 screen; frame 0 is 3 x 2 at (2, 1) with index 1 transparent, frame 1 covers all.
  PeerFrame first;
  first.Left = 2;
  first.Top = 1;
  first.Width = 3;
  first.Height = 2;
  first.TransparentIndex = 1;
  first.Pixels = {0, 1, 2, 2, 2, 0};
  PeerFrame second;
  second.Width = 6;
  second.Height = 4;
  second.Pixels.assign(24, 3);
  const std::vector<uint8_t> gif = WriteGiflibGif({6, 4, 4, {first, second}});
  WriteWholeFile(dir_.File("in.gif"), std::string(gif.begin(), gif.end()));
  const TCommandResult result = Convert(Path("in.gif") + " " + Path("out.bmp"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "6x4\n");
  TBitmap saved;
  saved.LoadFromFile(dir_.File("out.bmp"));
  const auto color = [](int index) {
    const uint32_t value = PeerColor(index);
    return TRGBColor{uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)};
  };
  EXPECT_EQ(saved.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(saved.Canvas().Pixel(2, 1), color(0));
  EXPECT_EQ(saved.Canvas().Pixel(3, 1), clWhite);
  EXPECT_EQ(saved.Canvas().Pixel(4, 1), color(2));
  EXPECT_EQ(saved.Canvas().Pixel(4, 2), color(0));
  EXPECT_EQ(saved.Canvas().Pixel(5, 3), clWhite);

  WriteWholeFile(dir_.File("bad.gif"), "GIF");
  EXPECT_EQ(Convert(Path("bad.gif") + " " + Path("out.bmp")).output, "Premature end of data\n");
}

TEST_F(ConvertTest, FailuresExitNonZeroWithTheErrorsText) {
  const TCommandResult missing = Convert(Path("none.jpg") + " " + Path("out.bmp"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output, "Cannot open file " + dir_.File("none.jpg") + "\n");

  WriteWholeFile(dir_.File("fake.jpg"), "not a picture at all");
  const TCommandResult fake = Convert(Path("fake.jpg") + " " + Path("out.bmp"));
  EXPECT_EQ(fake.status, 1);
  EXPECT_EQ(fake.output.rfind("JPEG error #", 0), 0u);
  EXPECT_FALSE(FileExists(dir_.File("out.bmp")));

  WriteWholeFile(dir_.File("bad.bmp"), "BM");
  EXPECT_EQ(Convert(Path("bad.bmp") + " " + Path("out.jpg")).output, "Bitmap image is not valid\n");

  Pattern(37, 21).SaveToFile(dir_.File("in.bmp"));
  EXPECT_EQ(Convert(Path("in.bmp") + " " + Path("out.webp")).status, 1);
  EXPECT_EQ(Convert("-q 101 " + Path("in.bmp") + " " + Path("out.jpg")).status, 1);
  EXPECT_EQ(Convert("-q x " + Path("in.bmp") + " " + Path("out.jpg")).status, 1);
  EXPECT_EQ(Convert(Path("in.bmp")).output, "usage: isoview-convert [-q QUALITY] IN OUT\n");
}

// A file's first bytes choose its reader whatever its name says; the name decides only
// for bytes without a known signature.
TEST_F(ConvertTest, TheSignatureChoosesTheReaderWhateverTheName) {
  TBitmap pattern = Pattern(37, 21);
  pattern.SaveToFile(dir_.File("in.bmp"));
  for (const std::string kind : {"png", "gif", "jpg", "tif"}) {
    const std::string made = "made." + kind;
    ASSERT_EQ(RunCommand("convert '" + dir_.File("in.bmp") + "' '" + dir_.File(made) + "'").status,
              0);
    for (const std::string name : {"chart.gif", "chart.jpg", "chart.png", "chart.tif", "chart"}) {
      WriteWholeFile(dir_.File(name), ReadWholeFile(dir_.File(made)));
      const TCommandResult result = Convert(Path(name) + " " + Path("out.bmp"));
      EXPECT_EQ(result.status, 0) << kind << " as " << name << ": " << result.output;
      EXPECT_EQ(result.output, "37x21\n") << kind << " as " << name;
    }
  }
  WriteWholeFile(dir_.File("text.gif"), "no known signature");
  EXPECT_EQ(Convert(Path("text.gif") + " " + Path("out.bmp")).output, "Invalid GIF signature\n");
}

// An empty picture is not written: zero bytes read as an empty JPEG.
TEST_F(ConvertTest, AnEmptyPictureExitsOneAndWritesNothing) {
  WriteWholeFile(dir_.File("empty.jpg"), "");
  const TCommandResult result = Convert(Path("empty.jpg") + " " + Path("out.bmp"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, "Cannot write " + dir_.File("out.bmp") + ": " + dir_.File("empty.jpg") +
                               " holds an empty picture\n");
  EXPECT_FALSE(FileExists(dir_.File("out.bmp")));
}

std::string CutShort(const std::string& bytes) {
  return bytes.substr(0, bytes.size() * 7 / 10);
}

// A quarter of the scan data taken out of its middle; the end-of-image marker stays.
std::string HoleInTheScan(const std::string& bytes) {
  const size_t scan = bytes.find("\xFF\xDA");
  const size_t middle = (scan + bytes.size()) / 2;
  return bytes.substr(0, middle) + bytes.substr(middle + (bytes.size() - scan) / 4);
}

// Files cut short, as an interrupted download leaves them, and a JPEG that lost bytes
// inside its scan data but still ends as a whole one does (written whole by ImageMagick):
// the partial picture is still written, the reader's warning and that the picture is
// incomplete go to standard error, and the exit status is 1. The whole files convert
// cleanly.
TEST_F(ConvertTest, CutOrDamagedFilesAreWrittenWithAWarningAndExitOne) {
  struct TCase {
    std::string kind;
    std::string (*damage)(const std::string&);
    std::string warning;  // of the reader
  };
  const TCase cases[] = {
      {"gif", CutShort, "Premature end of data"},    {"png", CutShort, "PNG file ends early"},
      {"jpg", CutShort, "JPEG data ends early"},     {"bmp", CutShort, "Bitmap data ends early"},
      {"jpg", HoleInTheScan, "Corrupt JPEG data: "},
  };
  for (const TCase& c : cases) {
    const std::string whole = dir_.File("whole." + c.kind);
    ASSERT_EQ(RunCommand("convert -size 64x64 gradient:red-blue '" + whole + "' 2>&1").status, 0);
    const TCommandResult clean = Convert("'" + whole + "' " + Path("whole.bmp"));
    EXPECT_EQ(clean.status, 0) << c.kind << ": " << clean.output;
    EXPECT_EQ(clean.output, "64x64\n") << c.kind;

    WriteWholeFile(dir_.File("damaged." + c.kind), c.damage(ReadWholeFile(whole)));
    const std::string out = dir_.File("damaged-" + c.kind + ".bmp");
    std::remove(out.c_str());
    const TCommandResult damaged = Convert(Path("damaged." + c.kind) + " '" + out + "'");
    EXPECT_EQ(damaged.status, 1) << c.kind;
    EXPECT_NE(damaged.output.find(": " + c.warning), std::string::npos)
        << c.kind << ": " << damaged.output;
    EXPECT_NE(
        damaged.output.find(": the picture is incomplete: its data ends early or is damaged\n"),
        std::string::npos)
        << c.kind << ": " << damaged.output;
    EXPECT_TRUE(FileExists(out)) << c.kind;
  }
}

}  // namespace
