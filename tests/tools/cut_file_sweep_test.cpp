// Files cut as an interrupted download cuts them, at every sixteenth of their length and at
// every boundary of their structure, shown the way the fetch job shows a download: each
// cut must be refused, or marked as cut, or be the whole picture to the last pixel. None
// may pass for complete with a pixel wrong. The files are written here by independent
// writers: ImageMagick, Pillow, libtiff and giflib.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "chart/preview_file.h"
#include "imaging/bitmap.h"
#include "imaging/byte_order.h"
#include "imaging/image_scroll_box.h"
#include "program/program_formats.h"
#include "runtime/exceptions.h"
#include "tests/support/gif_layout.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Boundaries = std::set<size_t>;
constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr size_t kSixteenths = 16;

uint32_t BigEndian32(const Bytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// JPEG: every marker, the end of its length field, and the restart markers in scan data.
Boundaries JpegBoundaries(const Bytes& b) {
  Boundaries cuts;
  for (size_t at = 0; at + 1 < b.size(); ++at) {
    if (b[at] != 0xFF || b[at + 1] == 0x00 || b[at + 1] == 0xFF) continue;
    cuts.insert({at, at + 2});
    const bool standalone = b[at + 1] == 0xD8 || b[at + 1] == 0xD9 || (b[at + 1] & 0xF8) == 0xD0;
    if (!standalone) cuts.insert(at + 2 + (size_t{b[at + 2]} << 8 | b[at + 3]));
  }
  return cuts;
}

// PNG: every chunk, after its length, its name and its data.
Boundaries PngBoundaries(const Bytes& b) {
  Boundaries cuts{8};
  for (size_t at = 8; at + 8 <= b.size(); at += 12 + BigEndian32(b, at))
    cuts.insert({at, at + 4, at + 8, at + 8 + BigEndian32(b, at)});
  return cuts;
}

// BMP: file header, info header, colour table, and every row of pixels.
Boundaries BmpBoundaries(const Bytes& b) {
  const size_t pixels = LoadLE32(b.data() + 10);
  Boundaries cuts{14, 14 + LoadLE32(b.data() + 14), pixels};
  const size_t row = (size_t{LoadLE16(b.data() + 28)} * kWidth + 31) / 32 * 4;
  for (size_t at = pixels; at < b.size(); at += row) cuts.insert(at);
  return cuts;
}

// TIFF (little-endian, as both writers here make it): header, directory, and the start
// and end of every strip.
Boundaries TiffBoundaries(const Bytes& b) {
  const size_t directory = LoadLE32(b.data() + 4);
  Boundaries cuts{8, directory, directory + 2};
  auto values = [&](uint16_t tag) {
    std::vector<uint32_t> out;
    for (size_t e = directory + 2; e < directory + 2 + 12 * LoadLE16(b.data() + directory);
         e += 12) {
      if (LoadLE16(b.data() + e) != tag) continue;
      const bool shorts = LoadLE16(b.data() + e + 2) == 3;
      const uint32_t count = LoadLE32(b.data() + e + 4);
      const size_t at = count * (shorts ? 2 : 4) <= 4 ? e + 8 : LoadLE32(b.data() + e + 8);
      for (uint32_t i = 0; i < count; ++i)
        out.push_back(shorts ? LoadLE16(b.data() + at + 2 * i) : LoadLE32(b.data() + at + 4 * i));
    }
    return out;
  };
  const std::vector<uint32_t> offsets = values(273);
  const std::vector<uint32_t> counts = values(279);
  for (size_t i = 0; i < offsets.size() && i < counts.size(); ++i)
    cuts.insert({offsets[i], offsets[i] + counts[i]});
  return cuts;
}

// GIF: signature, screen, tables, every extension and image block and each of their
// sub-blocks, the trailer.
Boundaries GifBoundaries(const Bytes& b) {
  const std::vector<size_t> ends = LayoutOf(b).Boundaries;
  return {ends.begin(), ends.end()};
}

// Two frames by giflib: the first of 16 colours from the global table, the second
// interlaced with a table of its own, each of stripes of every colour.
Bytes GiflibAnimation() {
  PeerFrame first;
  first.Width = kWidth;
  first.Height = kHeight;
  first.TransparentIndex = 5;
  PeerFrame second;
  second.Width = kWidth / 2;
  second.Height = kHeight / 2;
  second.Interlaced = true;
  second.LocalColors = 4;
  for (PeerFrame* frame : {&first, &second}) {
    const int colors = frame->LocalColors > 0 ? frame->LocalColors : 16;
    for (int i = 0; i < frame->Width * frame->Height; ++i)
      frame->Pixels.push_back(static_cast<uint8_t>(i / 3 % colors));
  }
  return WriteGiflibGif({kWidth, kHeight, 16, {first, second}});
}

struct TShown {
  bool refused = false;
  bool truncated = false;
  std::string error;
  TDib picture;
};

class CutFileSweepTest : public ::testing::Test {
 protected:
  // The file shown as the fetch job shows a download under the given name.
  TShown Show(const Bytes& bytes, const std::string& name) {
    const std::string file = dir_.File(name);
    WriteWholeFile(file, std::string(bytes.begin(), bytes.end()));
    TShown shown;
    TImageScrollBox viewer;
    TBitmap preview;
    TDisplayNotes notes;
    try {
      shown.refused = !DisplayDownloadedFile(file, viewer, preview, &notes);
    } catch (const Exception& error) {
      shown.refused = true;
      shown.error = error.what();
    }
    shown.truncated = notes.Truncated;
    shown.picture = preview.Dib();
    // An empty picture is no picture: the fetch job and isoview-convert refuse it.
    shown.refused = shown.refused || shown.picture.Empty();
    return shown;
  }

  Bytes Written(const std::string& command, const std::string& name) {
    EXPECT_EQ(RunCommand("cd '" + dir_.Path() + "' && " + command + " 2>&1").output, "");
    const std::string bytes = ReadWholeFile(dir_.File(name));
    return {bytes.begin(), bytes.end()};
  }

  // A picture with colour in every row and column, written by ImageMagick as a PPM.
  void WriteSource() {
    ASSERT_EQ(
        RunCommand("cd '" + dir_.Path() + "' && convert -size " + std::to_string(kWidth) + "x" +
                   std::to_string(kHeight) + " gradient:red-blue -swirl 90 source.ppm 2>&1")
            .status,
        0);
  }

  TempDir dir_;
  TProgramFormats formats_;
};

struct TSweepCase {
  std::string what;
  std::string name;  // the file's name; the extension matters only without a signature
  Bytes bytes;
  std::function<Boundaries(const Bytes&)> boundaries;
};

TEST_F(CutFileSweepTest, NoCutFileIsShownAsCompleteWithAWrongPixel) {
  WriteSource();
  const std::string pillow =
      "/usr/bin/python3 -c \"from PIL import Image; "
      "Image.open('source.ppm').save";
  const std::vector<TSweepCase> cases = {
      {"ImageMagick JPEG", "cut.jpg", Written("convert source.ppm -quality 90 a.jpg", "a.jpg"),
       JpegBoundaries},
      {"ImageMagick progressive JPEG with restarts", "cut.jpg",
       Written("convert source.ppm -interlace JPEG -define jpeg:restart-interval=2 b.jpg", "b.jpg"),
       JpegBoundaries},
      {"Pillow PNG", "cut.png", Written(pillow + "('c.png')\"", "c.png"), PngBoundaries},
      {"ImageMagick interlaced PNG", "cut.png",
       Written("convert source.ppm -interlace PNG d.png", "d.png"), PngBoundaries},
      {"ImageMagick BMP", "cut.bmp", Written("convert source.ppm BMP3:e.bmp", "e.bmp"),
       BmpBoundaries},
      {"ImageMagick RLE8 BMP", "cut.bmp",
       Written("convert source.ppm -colors 200 -compress RLE BMP3:f.bmp", "f.bmp"), BmpBoundaries},
      {"libtiff LZW TIFF", "cut.tif",
       Written("ppm2tiff source.ppm g0.tif && tiffcp -c lzw -r 8 g0.tif g.tif", "g.tif"),
       TiffBoundaries},
      {"Pillow TIFF, directory first", "cut.tif", Written(pillow + "('h.tif')\"", "h.tif"),
       TiffBoundaries},
      {"ImageMagick GIF", "cut.gif", Written("convert source.ppm i.gif", "i.gif"), GifBoundaries},
      {"ImageMagick interlaced GIF of two frames", "cut.gif",
       Written("convert source.ppm -flip source.ppm -interlace GIF -loop 0 j.gif", "j.gif"),
       GifBoundaries},
      {"giflib GIF of two frames", "cut.gif", GiflibAnimation(), GifBoundaries},
  };
  for (const TSweepCase& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.what;
    const TShown whole = Show(c.bytes, c.name);
    ASSERT_FALSE(whole.refused || whole.truncated) << c.what << ": " << whole.error;
    ASSERT_EQ(whole.picture.Width, kWidth) << c.what;
    Boundaries cuts = c.boundaries(c.bytes);
    for (size_t k = 0; k < kSixteenths; ++k) cuts.insert(c.bytes.size() * k / kSixteenths);
    int refused = 0;
    int marked = 0;
    for (const size_t cut : cuts) {
      if (cut >= c.bytes.size()) continue;
      const TShown shown = Show(Bytes(c.bytes.begin(), c.bytes.begin() + cut), c.name);
      refused += shown.refused;
      marked += !shown.refused && shown.truncated;
      if (shown.refused || shown.truncated) continue;
      EXPECT_TRUE(shown.picture.Width == whole.picture.Width &&
                  shown.picture.Height == whole.picture.Height &&
                  shown.picture.Bits == whole.picture.Bits)
          << c.what << " cut at " << cut << " of " << c.bytes.size()
          << " is shown as complete but is not the whole picture";
    }
    std::printf("%s: %zu cuts, %d refused, %d marked as cut\n", c.what.c_str(), cuts.size(),
                refused, marked);
  }
}

}  // namespace
