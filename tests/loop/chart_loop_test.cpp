#include "loop/chart_loop.h"

#include <gtest/gtest.h>
#include <png.h>

#include "chart/chart_picture.h"
#include "imaging/bitmap.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/png_peer.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// A chart of smooth colours off the web palette, different for every seed, so that the
// reduction has work to do and frames cannot be mistaken for each other.
std::string WriteChart(const TempDir& dir, int seed, int width = kWidth, int height = kHeight) {
  PeerPng png;
  png.Width = width;
  png.Height = height;
  png.ColorType = PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      png.Samples.push_back(uint16_t((x * 6 + seed * 19) % 256));
      png.Samples.push_back(uint16_t((y * 8 + seed * 7) % 256));
      png.Samples.push_back(uint16_t((x * y + seed * 31) % 256));
    }
  }
  const std::string path = dir.File("chart" + std::to_string(seed) + ".png");
  const std::vector<uint8_t> bytes = WriteLibpngPng(png);
  WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
  return path;
}

// The chart as a save to ".gif" holds it: reduced to the writer's palette.
std::vector<uint32_t> SavedAsGif(const std::string& path) {
  const auto gif = EncodeChart(*DecodeChart(path), "chart.gif", [] { return 75; });
  return ReadGiflibColors(*gif);
}

std::vector<uint8_t> RgbBytes(const std::vector<uint32_t>& colors) {
  std::vector<uint8_t> rgb;
  for (const uint32_t c : colors) {
    for (const int shift : {0, 8, 16}) rgb.push_back(uint8_t(c >> shift));
  }
  return rgb;
}

}  // namespace

TEST(ChartLoop, TwelveSavesReadBackFrameByFrameByGiflibAndImageMagick) {
  TempDir dir;
  std::vector<std::string> charts;
  for (int seed = 0; seed < 12; ++seed) charts.push_back(WriteChart(dir, seed));

  const TChartLoop loop = MakeChartLoop(charts, 50);
  ASSERT_EQ(loop.frames, 12);
  EXPECT_TRUE(loop.leftOut.empty());
  const std::string file = dir.File("loop.gif");
  WriteWholeFile(file, std::string(loop.gif.begin(), loop.gif.end()));

  const std::vector<std::vector<uint32_t>> frames = ReadGiflibFrameColors(loop.gif);
  ASSERT_EQ(frames.size(), 12u);
  const std::string magick = RunCommand("convert " + file + " -coalesce -depth 8 rgb:-").output;
  const size_t frameBytes = size_t(kWidth) * kHeight * 3;
  ASSERT_EQ(magick.size(), 12 * frameBytes);
  for (size_t i = 0; i < charts.size(); ++i) {
    const std::vector<uint32_t> expected = SavedAsGif(charts[i]);
    EXPECT_EQ(frames[i], expected) << "giflib, frame " << i;
    const std::vector<uint8_t> rgb = RgbBytes(expected);
    EXPECT_EQ(magick.substr(i * frameBytes, frameBytes), std::string(rgb.begin(), rgb.end()))
        << "ImageMagick, frame " << i;
  }
  std::string described;
  for (int i = 0; i < 12; ++i) described += "40x30 50\n";
  EXPECT_EQ(RunCommand("identify -format '%wx%h %T\\n' " + file).output, described);
  // The looping block, sub-block 1 with 0 loops: it plays for ever.
  const std::string looping = std::string("NETSCAPE2.0\3\1", 13) + std::string(3, '\0');
  EXPECT_NE(std::string(loop.gif.begin(), loop.gif.end()).find(looping), std::string::npos);
}

TEST(ChartLoop, FramesTakeTheNewestSizeAndUnreadableChartsAreLeftOut) {
  TempDir dir;
  const std::string small = WriteChart(dir, 1, 20, 15);
  WriteWholeFile(dir.File("damaged.png"), "not a picture");
  const std::string newest = WriteChart(dir, 2);
  const TChartLoop loop =
      MakeChartLoop({small, dir.File("gone.png"), dir.File("damaged.png"), newest}, 25);

  EXPECT_EQ(loop.frames, 2);
  ASSERT_EQ(loop.leftOut.size(), 2u);
  EXPECT_EQ(loop.leftOut[0].rfind(dir.File("gone.png") + ": ", 0), 0u) << loop.leftOut[0];
  EXPECT_EQ(loop.leftOut[1].rfind(dir.File("damaged.png") + ": ", 0), 0u) << loop.leftOut[1];
  const std::string file = dir.File("loop.gif");
  WriteWholeFile(file, std::string(loop.gif.begin(), loop.gif.end()));
  EXPECT_EQ(RunCommand("identify -format '%wx%h %T\\n' " + file).output, "40x30 25\n40x30 25\n");
}

TEST(ChartLoop, NoReadableChartGivesNoGif) {
  TempDir dir;
  const TChartLoop loop = MakeChartLoop({dir.File("gone.png")}, 50);
  EXPECT_EQ(loop.frames, 0);
  EXPECT_TRUE(loop.gif.empty());
  EXPECT_EQ(loop.leftOut.size(), 1u);
}
