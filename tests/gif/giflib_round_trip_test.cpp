// GIFs written by giflib decode to exactly the indices giflib's own decoder gives.

#include <gtest/gtest.h>

#include <random>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"

namespace {

// Runs of random length and colour over noise: long strings and short ones, table resets.
Bytes MixedPixels(int width, int height, int colors, unsigned seed) {
  std::mt19937 random(seed);
  Bytes pixels(size_t(width) * height);
  size_t at = 0;
  while (at < pixels.size()) {
    const size_t run = std::min(pixels.size() - at, size_t(random() % 40 + 1));
    const bool noise = random() % 3 == 0;
    const uint8_t color = uint8_t(random() % colors);
    for (size_t i = 0; i < run; ++i) pixels[at++] = noise ? uint8_t(random() % colors) : color;
  }
  return pixels;
}

PeerFrame Frame(int width, int height, int colors, unsigned seed) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.Pixels = MixedPixels(width, height, colors, seed);
  return frame;
}

// Loads with this reader and compares every frame with giflib's decode of the same bytes.
void ExpectSameAsGiflib(const Bytes& bytes) {
  const PeerGif peer = ReadGiflibGif(bytes);
  const TLoaded loaded = LoadGIF(bytes);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_TRUE(loaded.Warnings.empty());
  ASSERT_EQ(loaded.Image->Images().Count(), static_cast<int>(peer.Frames.size()));
  EXPECT_EQ(loaded.Image->Width(), peer.Width);
  EXPECT_EQ(loaded.Image->Height(), peer.Height);
  for (size_t i = 0; i < peer.Frames.size(); ++i) {
    TGIFSubImage& frame = loaded.Image->Images()[static_cast<int>(i)];
    const PeerFrame& expected = peer.Frames[i];
    EXPECT_EQ(frame.Left(), expected.Left);
    EXPECT_EQ(frame.Top(), expected.Top);
    EXPECT_EQ(frame.ColorMap().Count(), expected.LocalColors);
    ASSERT_EQ(frame.DataSize(), static_cast<int64_t>(expected.Pixels.size()));
    EXPECT_TRUE(std::equal(expected.Pixels.begin(), expected.Pixels.end(), frame.Data()))
        << "frame " << i;
  }
}

}  // namespace

TEST(GiflibRoundTrip, EveryPaletteSizePlainAndInterlaced) {
  for (int bits = 1; bits <= 8; ++bits) {
    for (bool interlaced : {false, true}) {
      PeerFrame frame = Frame(97, 61, 1 << bits, bits * 7 + interlaced);
      frame.Interlaced = interlaced;
      SCOPED_TRACE(testing::Message() << "bits " << bits << " interlaced " << interlaced);
      ExpectSameAsGiflib(WriteGiflibGif({97, 61, 1 << bits, {frame}}));
    }
  }
}

TEST(GiflibRoundTrip, SeveralFramesWithLocalTablesAndTransparency) {
  PeerGif gif{40, 30, 16, {}};
  gif.Frames.push_back(Frame(40, 30, 16, 1));
  PeerFrame moved = Frame(13, 7, 4, 2);
  moved.Left = 20;
  moved.Top = 21;
  moved.LocalColors = 4;
  moved.TransparentIndex = 2;
  moved.Delay = 5;
  gif.Frames.push_back(moved);
  PeerFrame interlaced = Frame(39, 29, 256, 3);
  interlaced.LocalColors = 256;
  interlaced.Interlaced = true;
  gif.Frames.push_back(interlaced);
  const Bytes bytes = WriteGiflibGif(gif);
  ExpectSameAsGiflib(bytes);
  const TLoaded loaded = LoadGIF(bytes);
  TGIFSubImage& transparent = loaded.Image->Images()[1];
  EXPECT_TRUE(transparent.Transparent());
  ASSERT_NE(transparent.GraphicControlExtension(), nullptr);
  EXPECT_EQ(transparent.GraphicControlExtension()->TransparentColorIndex(), 2);
  EXPECT_EQ(transparent.GraphicControlExtension()->Delay(), 5);
}

TEST(GiflibRoundTrip, OddSizesFromOnePixelToLarge) {
  for (auto [width, height] : {std::pair{1, 1}, {1, 300}, {300, 1}, {255, 3}, {1023, 17}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    ExpectSameAsGiflib(WriteGiflibGif({width, height, 256, {Frame(width, height, 256, width)}}));
  }
  ExpectSameAsGiflib(WriteGiflibGif({4000, 3000, 8, {Frame(4000, 3000, 8, 5)}}));
}

TEST(GiflibRoundTrip, CodesSpreadOverOneByteSubBlocks) {
  // 12-bit codes cross two sub-block boundaries when each sub-block holds one byte.
  const Bytes bytes = WriteGiflibGif({200, 100, 256, {Frame(200, 100, 256, 9)}});
  for (size_t blockSize : {1, 2, 3, 7, 254}) {
    SCOPED_TRACE(testing::Message() << "sub-blocks of " << blockSize);
    ExpectSameAsGiflib(RechunkImageData(bytes, blockSize));
  }
}
