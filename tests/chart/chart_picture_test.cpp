#include "chart/chart_picture.h"

#include <gtest/gtest.h>

#include "imaging/bitmap.h"
#include "program/program_formats.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/temp_dir.h"

namespace {

PeerFrame Frame(int left, int width, int height, int transparentIndex) {
  PeerFrame frame;
  frame.Left = left;
  frame.Width = width;
  frame.Height = height;
  frame.TransparentIndex = transparentIndex;
  for (int i = 0; i < width * height; ++i) frame.Pixels.push_back(uint8_t(i % 7 % 3));
  return frame;
}

}  // namespace

// A GIF whose one frame fills its screen and shows no background is kept as the frame's
// indexed bitmap; any other is drawn at 24 bits. Either way every save is the one the
// picture drawn at 24 bits gives.
TEST(ChartPicture, KeptIndexedOnlyWhereTheFrameIsAllThatShowsAndSavedAlike) {
  const TProgramFormats formats;
  struct TCase {
    const char* what;
    std::vector<PeerFrame> frames;
    bool indexed;
  };
  const std::vector<TCase> cases = {
      {"one frame", {Frame(0, 30, 20, -1)}, true},
      {"a transparent index no pixel has", {Frame(0, 30, 20, 3)}, true},
      {"transparent pixels", {Frame(0, 30, 20, 2)}, false},
      {"a frame narrower than the screen", {Frame(4, 26, 20, -1)}, false},
      {"two frames", {Frame(0, 30, 20, -1), Frame(0, 30, 20, -1)}, false},
  };
  TempDir dir;
  const std::string file = dir.File("chart.gif");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> gif = WriteGiflibGif({30, 20, 4, c.frames});
    WriteWholeFile(file, {gif.begin(), gif.end()});
    const auto kept = DecodeChart(file);
    const auto drawn = DecodeChart(file, ppTrueColor);
    ASSERT_TRUE(kept && drawn);
    EXPECT_EQ(IsIndexed(kept->PixelFormat()), c.indexed);
    EXPECT_EQ(drawn->PixelFormat(), pf24bit);
    for (const char* name : {"c.gif", "c.bmp", "c.png", "c.jpg"})
      EXPECT_EQ(EncodeChart(*kept, name, [] { return 80; }),
                EncodeChart(*drawn, name, [] { return 80; }))
          << name;
  }
}
