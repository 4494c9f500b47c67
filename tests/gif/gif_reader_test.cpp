// The block loop and the lenient reading of odd files.

#include <gtest/gtest.h>

#include "gif/gif_application_extension.h"
#include "gif/gif_comment_extension.h"
#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/gif_painter.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/pixel_limit_guard.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr int kClear = 4;
constexpr int kEnd = 5;

// A 2 x 1 image: pixels 1 and 2 (code size 2).
Bytes TwoPixels() {
  return Descriptor(0, 0, 2, 1) + ImageData(2, {{kClear, 3}, {1, 3}, {2, 3}, {kEnd, 3}});
}

const Bytes kTrailer{0x3B};

Bytes Pixels(TGIFSubImage& frame) {
  return Bytes(frame.Data(), frame.Data() + frame.DataSize());
}

Bytes Comment(const std::string& text) {
  return Bytes{0x21, 0xFE} + Chain(Text(text));
}

Bytes Netscape(const Bytes& data) {
  return Bytes{0x21, 0xFF, 11} + Text("NETSCAPE2.0") + data;
}

}  // namespace

TEST(GIFReader, SignatureMayFollowFourBytesAndIgnoresCaseAndVersion) {
  for (const Bytes& bytes : {Bytes{1, 2, 3, 4} + Screen(2, 1, 2) + TwoPixels() + kTrailer,
                             Screen(2, 1, 2, "gif89a") + TwoPixels() + kTrailer,
                             Screen(2, 1, 2, "GIFxyz") + TwoPixels() + kTrailer}) {
    const TLoaded loaded = LoadGIF(bytes);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_TRUE(loaded.Warnings.empty());
    ASSERT_EQ(loaded.Image->Images().Count(), 1);
    EXPECT_EQ(Pixels(loaded.Image->Images()[0]), (Bytes{1, 2}));
    EXPECT_EQ(loaded.PositionAfter, static_cast<int64_t>(bytes.size()));
  }
  EXPECT_EQ(LoadGIF(Text("JFIF89a0000000")).Error, "Invalid GIF signature");
  EXPECT_EQ(LoadGIF(Text("GIF8")).Error, "Premature end of data");
  Bytes cutTable = Screen(2, 1, 3);
  cutTable.pop_back();
  EXPECT_EQ(LoadGIF(cutTable).Error, "Premature end of data");
}

TEST(GIFReader, MissingTrailerAndPaddingAreNoDefects) {
  const TLoaded missing = LoadGIF(Screen(2, 1, 2) + TwoPixels());
  EXPECT_EQ(missing.Error, "");
  EXPECT_TRUE(missing.Warnings.empty());
  EXPECT_EQ(missing.Image->Images().Count(), 1);
  const TLoaded padded = LoadGIF(Screen(2, 1, 2) + TwoPixels() + Bytes{0, 0, 0} + kTrailer);
  EXPECT_TRUE(padded.Warnings.empty());
  EXPECT_EQ(padded.Image->Images().Count(), 1);
}

TEST(GIFReader, CommentAfterTheLastImageIsAnEmptyFrame) {
  const TLoaded loaded = LoadGIF(Screen(2, 1, 2) + TwoPixels() + Comment("made here") + kTrailer);
  ASSERT_EQ(loaded.Image->Images().Count(), 2);
  TGIFSubImage& last = loaded.Image->Images()[1];
  EXPECT_TRUE(last.Empty());
  ASSERT_EQ(last.Extensions().Count(), 1);
  auto& comment = dynamic_cast<TGIFCommentExtension&>(last.Extensions()[0]);
  EXPECT_EQ(comment.Text(), std::vector<std::string>{"made here"});
  EXPECT_TRUE(loaded.Warnings.empty());
}

TEST(GIFReader, ZeroWidthFrameTakesTheScreenSize) {
  const TLoaded loaded = LoadGIF(Screen(3, 2, 2) + Descriptor(0, 0, 0, 5) +
                                 ImageData(2, {{kClear, 3}, {1, 3}, {kEnd, 3}}) + kTrailer);
  ASSERT_EQ(loaded.Image->Images().Count(), 1);
  EXPECT_EQ(loaded.Image->Images()[0].Width(), 3);
  EXPECT_EQ(loaded.Image->Images()[0].Height(), 2);
  EXPECT_EQ(loaded.Warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
}

TEST(GIFReader, FailedLoadPutsTheStreamBackAndKeepsEarlierFrames) {
  const Bytes bytes = Bytes{9, 9} + Screen(2, 1, 2) + TwoPixels() + Bytes{0x21, 0x02, 0} + kTrailer;
  TGIFImage image;
  TMemoryStream stream(bytes);
  stream.SetPosition(2);
  try {
    image.LoadFromStream(stream);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Unknown extension type");
  }
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_EQ(image.Images().Count(), 1);
}

TEST(GIFReader, StrayBytesWhereBlocksShouldStart) {
  // Between blocks: the loop ends there, and the trailer check meets the byte.
  const TLoaded between = LoadGIF(Screen(2, 1, 2) + TwoPixels() + Bytes{0x2B} + TwoPixels());
  EXPECT_EQ(between.Image->Images().Count(), 1);
  EXPECT_EQ(between.Warnings,
            (std::vector<std::string>{"Unknown GIF block type", "Invalid Image trailer"}));
  // After an extension: the frame's descriptor starts at that byte.
  const Bytes control{0x21, 0xF9, 4, 0, 0, 0, 0, 0};
  Bytes descriptor = TwoPixels();
  descriptor[0] = 0x2B;
  const TLoaded after = LoadGIF(Screen(2, 1, 2) + control + descriptor + kTrailer);
  EXPECT_EQ(after.Warnings, std::vector<std::string>{"Invalid extension introducer"});
  ASSERT_EQ(after.Image->Images().Count(), 1);
  EXPECT_EQ(Pixels(after.Image->Images()[0]), (Bytes{1, 2}));
}

TEST(GIFReader, GraphicControlExtensionCutShortWarnsAndCutsTheFile) {
  const TLoaded loaded = LoadGIF(Screen(2, 1, 2) + TwoPixels() + Bytes{0x21, 0xF9, 4, 1, 0});
  EXPECT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, std::vector<std::string>{"Premature end of data"});
  EXPECT_TRUE(loaded.Image->Truncated());
  ASSERT_EQ(loaded.Image->Images().Count(), 2);
  EXPECT_FALSE(loaded.Image->Images()[1].Transparent());
}

TEST(GIFReader, TransparentFramesFillWithTheirIndex) {
  const Bytes control{0x21, 0xF9, 4, 1, 0, 0, 3, 0};
  const TLoaded loaded = LoadGIF(Screen(2, 1, 2) + control + Descriptor(0, 0, 2, 1) +
                                 ImageData(2, {{kClear, 3}, {1, 3}}) + kTrailer);
  TGIFSubImage& frame = loaded.Image->Images()[0];
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(Pixels(frame), (Bytes{1, 3}));
}

TEST(GIFReader, LoopingExtensionSubBlocks) {
  const TLoaded zero = LoadGIF(Screen(2, 1, 2) + Netscape({3, 1, 0, 0, 0}) + TwoPixels());
  ASSERT_EQ(zero.Error, "");
  auto& loop = dynamic_cast<TGIFAppExtNSLoop&>(zero.Image->Images()[0].Extensions()[0]);
  EXPECT_EQ(loop.Loops(), 0);
  // Only the low three bits of the id count; unknown ids and extra bytes are skipped.
  const TLoaded mixed = LoadGIF(
      Screen(2, 1, 2) + Netscape({4, 9, 7, 0, 0xEE, 5, 2, 1, 0, 0, 0, 2, 6, 0, 0}) + TwoPixels());
  ASSERT_EQ(mixed.Error, "");
  auto& loop2 = dynamic_cast<TGIFAppExtNSLoop&>(mixed.Image->Images()[0].Extensions()[0]);
  EXPECT_EQ(loop2.Loops(), 7);
  EXPECT_EQ(loop2.BufferSize(), 1u);
  EXPECT_EQ(LoadGIF(Screen(2, 1, 2) + Netscape({2, 1, 5, 0}) + TwoPixels()).Error,
            "Invalid GIF data");
}

TEST(GIFReader, ApplicationBlockSizes) {
  // Size 10: the identifier's last byte is the first sub-block's size byte.
  const TLoaded ten = LoadGIF(Screen(2, 1, 2) + Bytes{0x21, 0xFF, 10} + Text("ABCDEFGHIJ") +
                              Bytes{2, 7, 8, 0} + TwoPixels());
  ASSERT_EQ(ten.Error, "");
  auto& unknown = dynamic_cast<TGIFUnknownAppExtension&>(ten.Image->Images()[0].Extensions()[0]);
  ASSERT_EQ(unknown.Blocks().size(), 1u);
  EXPECT_EQ(unknown.Blocks()[0].Data(), "\x07\x08");
  EXPECT_EQ(unknown.Identifier(), std::string("ABCDEFGHIJ\x02"));
  // Size 13: two extra bytes after the identifier, then the data.
  const TLoaded thirteen = LoadGIF(Screen(2, 1, 2) + Bytes{0x21, 0xFF, 13} + Text("NETSCAPE2.0xy") +
                                   Bytes{1, 9, 0} + TwoPixels());
  ASSERT_EQ(thirteen.Error, "");
  auto& longer =
      dynamic_cast<TGIFUnknownAppExtension&>(thirteen.Image->Images()[0].Extensions()[0]);
  EXPECT_EQ(longer.Blocks()[0].Data(), "\x09");
  EXPECT_EQ(Pixels(thirteen.Image->Images()[0]), (Bytes{1, 2}));
  EXPECT_EQ(LoadGIF(Screen(2, 1, 2) + Bytes{0x21, 0xFF, 5, 1, 2, 3, 4, 5, 0}).Error,
            "Unsupported Application Extension block size");
  EXPECT_EQ(LoadGIF(Screen(2, 1, 2) + Bytes{0x21, 0xFF, 11, 'N', 'E'}).Error,
            "Premature end of data");
  EXPECT_EQ(LoadGIF(Screen(2, 1, 2) + Bytes{0x21, 0xFF}).Error, "Unknown extension type");
}

TEST(GIFReader, EarlyEndCodeDoesNotEatTheNextFrame) {
  // The first frame's data ends after three of its four pixels, at a byte boundary: one
  // more code would need the next sub-block.
  const Bytes shortFrame =
      Descriptor(0, 0, 4, 1) + ImageData(2, {{kClear, 3}, {3, 3}, {3, 3}, {3, 3}, {kEnd, 4}});
  const TLoaded loaded = LoadGIF(Screen(4, 1, 2) + shortFrame + TwoPixels() + kTrailer);
  ASSERT_EQ(loaded.Image->Images().Count(), 2);
  EXPECT_EQ(Pixels(loaded.Image->Images()[0]), (Bytes{3, 3, 3, 0}));
  EXPECT_EQ(Pixels(loaded.Image->Images()[1]), (Bytes{1, 2}));
  EXPECT_TRUE(loaded.Warnings.empty());
}

TEST(GIFReader, ExtraSubBlocksAfterTheEndCodeAreSkipped) {
  const Bytes codes = PackCodes({{kClear, 3}, {1, 3}, {2, 3}, {kEnd, 3}});
  const Bytes frame = Descriptor(0, 0, 2, 1) + Bytes{2, static_cast<uint8_t>(codes.size())} +
                      codes + Bytes{3, 'x', 'y', 'z', 0};
  const TLoaded loaded = LoadGIF(Screen(2, 1, 2) + frame + TwoPixels() + kTrailer);
  EXPECT_EQ(loaded.Image->Images().Count(), 2);
  EXPECT_TRUE(loaded.Warnings.empty());
}

namespace {

// What a browser shows of the first frame: the image drawn opaque at its screen size.
std::vector<TRGBColor> Shown(TGIFImage& image) {
  TBitmap target = Filled(image.Width(), image.Height(), {255, 0, 255});
  image.SetDrawOptions(0);
  target.Canvas().Draw(0, 0, image);
  std::vector<TRGBColor> pixels;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) pixels.push_back(target.Canvas().Pixel(x, y));
  }
  return pixels;
}

constexpr TRGBColor kMagenta{255, 0, 255};

TRGBColor Grey(uint8_t level) {
  return {level, level, level};
}

}  // namespace

// Files that encoders really write and browsers show, each as the bytes that make it.
TEST(GIFReader, OddFilesThatBrowsersShow) {
  // The frame's data goes on after its two pixels, in one-byte sub-blocks.
  const Bytes runOn = Descriptor(0, 0, 2, 1) + Bytes{2} +
                      Chain(PackCodes({{kClear, 3}, {1, 3}, {2, 3}, {1, 3}}) + Bytes(6, 0x21), 1);
  struct TCase {
    const char* name;
    Bytes file;
    int frames;
    std::vector<TRGBColor> shown;
  };
  const std::vector<TCase> cases = {
      // A 0 x 0 screen takes the union of the frames' rectangles.
      {"zero screen",
       Screen(0, 0, 2) + Descriptor(1, 1, 2, 1) +
           ImageData(2, {{kClear, 3}, {1, 3}, {2, 3}, {kEnd, 3}}) + kTrailer,
       1,
       {kMagenta, kMagenta, kMagenta, kMagenta, Grey(1), Grey(2)}},
      // No colour table anywhere: 2-bit codes through four grey levels.
      {"no colour table", Screen(2, 1) + TwoPixels() + kTrailer, 1, {Grey(85), Grey(170)}},
      // The rest of the chain is skipped and the next frame read as it is.
      {"data after a full frame",
       Screen(2, 1, 2) + runOn + TwoPixels() + kTrailer,
       2,
       {Grey(1), Grey(2)}},
  };
  for (const TCase& c : cases) {
    const TLoaded loaded = LoadGIF(c.file);
    ASSERT_EQ(loaded.Error, "") << c.name;
    ASSERT_EQ(loaded.Image->Images().Count(), c.frames) << c.name;
    EXPECT_EQ(Shown(*loaded.Image), c.shown) << c.name;
  }
}

// The pixel limit holds per frame, and all frames together are bounded. A frame counts once
// it is decoded: the first at the load, the others when asked for.
TEST(GIFReader, PixelLimitsPerFrameAndForAllFrames) {
  const auto frames = [](int count, int side) {
    PeerFrame frame;
    frame.Width = frame.Height = side;
    frame.Pixels.assign(static_cast<size_t>(side * side), 1);
    return WriteGiflibGif({side, side, 2, std::vector<PeerFrame>(count, frame)});
  };
  TPixelLimitGuard limit(100);
  const TLoaded eight = LoadGIF(frames(8, 10));
  ASSERT_EQ(eight.Error, "");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Pixels(eight.Image->Images()[i]), Bytes(100, 1));
  EXPECT_EQ(LoadGIF(frames(1, 11)).Error, "Failed to allocate memory for GIF DIB");
  const TLoaded nine = LoadGIF(frames(9, 10));
  ASSERT_EQ(nine.Error, "");
  for (int i = 0; i < 8; ++i) nine.Image->Images()[i].Decode();
  try {
    nine.Image->Images()[8].Decode();
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "The GIF frames together hold too many pixels");
  }
}

// Only the first image is decoded by the load; the others when their pixels are asked for,
// as the animation's painter does, and only then do their defects show.
TEST(GIFReader, LaterFramesAreDecodedWhenAskedFor) {
  // One pixel of two, then the end code.
  const Bytes endsEarly = Descriptor(0, 0, 2, 1) + ImageData(2, {{kClear, 3}, {1, 3}, {kEnd, 3}});
  // Entry 6 made its own prefix.
  const Bytes circular =
      Descriptor(0, 0, 8, 1) + ImageData(2, {{kClear, 3}, {6, 3}, {0, 3}, {6, 3}, {kEnd, 3}});
  const Bytes file = Screen(8, 1, 2) + TwoPixels() + endsEarly + circular + kTrailer;
  const TLoaded loaded = LoadGIF(file);
  ASSERT_EQ(loaded.Error, "");
  TGIFImage& image = *loaded.Image;
  EXPECT_FALSE(image.Truncated());

  // Played through once, inline: each frame is decoded as it is painted.
  std::vector<int> painted;
  image.OnAfterPaint = [&painted](TGIFPainter& painter) {
    painted.push_back(painter.ActiveImage());
  };
  image.SetDrawOptions(drAnimate);
  image.SetAnimationSpeed(100000);
  TBitmap target = Filled(8, 1, {255, 0, 0});
  EXPECT_THROW(target.Canvas().Draw(0, 0, image), GIFException);
  EXPECT_EQ(painted, (std::vector<int>{0, 1}));
  EXPECT_TRUE(image.Truncated());
  EXPECT_EQ(image.Warnings(), "GIF image data ends early");
  EXPECT_EQ(Pixels(image.Images()[1]), (Bytes{1, 0}));
}

// Every picture drawn of an image has its screen's size: a large screen takes the extent of
// the frames with pixels when they do not reach its edges.
TEST(GIFReader, LargeScreensFollowTheirFrames) {
  const Bytes data = ImageData(2, {{kClear, 3}, {1, 3}, {2, 3}, {kEnd, 3}});
  struct TCase {
    int width;
    int height;
    int left;
    int top;
    int shownWidth;
    int shownHeight;
  };
  const std::vector<TCase> cases = {
      {3000, 1000, 0, 0, 2, 1},
      {3000, 1000, 100, 10, 102, 11},
      // The frame reaches the corner: nothing to cut.
      {3000, 1000, 2998, 999, 3000, 1000},
      // Up to 2^21 pixels a screen may be larger than its frames, as it says.
      {2048, 1024, 0, 0, 2048, 1024},
  };
  for (const TCase& c : cases) {
    const TLoaded loaded =
        LoadGIF(Screen(c.width, c.height, 2) + Descriptor(c.left, c.top, 2, 1) + data + kTrailer);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_EQ(loaded.Image->Width(), c.shownWidth) << c.width << "x" << c.height;
    EXPECT_EQ(loaded.Image->Height(), c.shownHeight) << c.width << "x" << c.height;
    EXPECT_FALSE(loaded.Image->Truncated());
  }
}
