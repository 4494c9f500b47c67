#include "gif/lzw_decoder.h"

#include <gtest/gtest.h>

#include "gif/gif_graphic_control_extension.h"
#include "gif/gif_image.h"
#include "gif/interlace.h"
#include "runtime/exceptions.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"

namespace {

// Code size 2: clear 4, end 5, first free entry 6; 3-bit codes until entry 7 is made.
constexpr int kClear = 4;
constexpr int kEnd = 5;

struct TDecoded {
  Bytes Pixels;
  // Every pixel came from the data.
  bool Whole = false;
  // The message of the error that ended the decode, if one did.
  std::string Error;
  std::vector<std::string> Warnings;
  int64_t Position = 0;
};

// Decodes data into a width x height frame.
TDecoded Decode(int width, int height, const Bytes& data, bool interlaced = false,
                int transparentIndex = -1) {
  TGIFImage image;
  TDecoded result;
  image.OnWarning = [&](const TGIFWarningSource&, int, const std::string& message) {
    result.Warnings.push_back(message);
  };
  TGIFSubImage& frame = image.Images()[image.Images().Add(std::make_unique<TGIFSubImage>(image))];
  frame.SetWidth(static_cast<uint16_t>(width));
  frame.SetHeight(static_cast<uint16_t>(height));
  frame.SetInterlaced(interlaced);
  if (transparentIndex >= 0) {
    auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
    control->SetTransparentColorIndex(static_cast<uint8_t>(transparentIndex));
    control->SetTransparent(true);
    frame.Extensions().Add(std::move(control));
  }
  result.Warnings.clear();
  TMemoryStream stream(data);
  try {
    result.Whole = DecodeFrame(frame, stream);
  } catch (const GIFException& e) {
    result.Error = e.Message();
  }
  result.Pixels.assign(frame.Data(), frame.Data() + frame.DataSize());
  result.Position = stream.Position();
  return result;
}

}  // namespace

TEST(LZWDecoder, OnePixelImageEndsAfterTheTerminator) {
  const Bytes data = ImageData(2, {{kClear, 3}, {2, 3}, {kEnd, 3}});
  const TDecoded decoded = Decode(1, 1, data);
  EXPECT_EQ(decoded.Pixels, Bytes{2});
  EXPECT_TRUE(decoded.Whole);
  EXPECT_EQ(decoded.Position, static_cast<int64_t>(data.size()));
  EXPECT_TRUE(decoded.Warnings.empty());
}

TEST(LZWDecoder, LeadingClearCodesAreOptionalAndRepeatable) {
  // 6 is the entry being made (KwKwK): the previous string "1" and its first pixel.
  const Bytes expected{1, 1, 1};
  EXPECT_EQ(Decode(3, 1, ImageData(2, {{kClear, 3}, {1, 3}, {6, 3}, {kEnd, 3}})).Pixels, expected);
  EXPECT_EQ(Decode(3, 1, ImageData(2, {{1, 3}, {6, 3}, {kEnd, 3}})).Pixels, expected);
  EXPECT_EQ(
      Decode(3, 1, ImageData(2, {{kClear, 3}, {kClear, 3}, {1, 3}, {6, 3}, {kEnd, 3}})).Pixels,
      expected);
}

TEST(LZWDecoder, EndCodeRightAfterClearIsTakenAsAPixel) {
  EXPECT_EQ(Decode(1, 1, ImageData(2, {{kClear, 3}, {kEnd, 3}})).Pixels, Bytes{kEnd});
}

TEST(LZWDecoder, CodesAtAndBeyondTheNextFreeEntry) {
  // 2, then 6 = "2 2" (entry 6), then 7 = entry 6 plus its first pixel = "2 2 2".
  EXPECT_EQ(Decode(6, 1, ImageData(2, {{kClear, 3}, {2, 3}, {6, 3}, {7, 3}, {kEnd, 4}})).Pixels,
            (Bytes{2, 2, 2, 2, 2, 2}));
  // A code past the next free entry reads like the one at it.
  EXPECT_EQ(Decode(3, 1, ImageData(2, {{kClear, 3}, {2, 3}, {7, 3}, {kEnd, 3}})).Pixels,
            (Bytes{2, 2, 2}));
  // Strings of earlier entries: 1, 3, 6 = "1 3", 7 = "3 1".
  EXPECT_EQ(
      Decode(7, 1, ImageData(2, {{kClear, 3}, {1, 3}, {3, 3}, {6, 3}, {7, 4}, {kEnd, 4}})).Pixels,
      (Bytes{1, 3, 1, 3, 3, 1, 0}));
}

TEST(LZWDecoder, MissingDataLeavesTheFillAndWarns) {
  // 7 pixels in exactly 16 bits, then the chain ends.
  const Bytes data = ImageData(2, {{kClear, 3}, {1, 3}, {6, 3}, {1, 3}, {7, 4}});
  const TDecoded transparent = Decode(4, 4, data, false, 3);
  EXPECT_EQ(transparent.Pixels, (Bytes{1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
  ASSERT_FALSE(transparent.Warnings.empty());
  EXPECT_EQ(transparent.Warnings[0], "Decoder bit buffer under-run");
  EXPECT_FALSE(transparent.Whole);
  EXPECT_EQ(Decode(4, 4, data).Pixels, (Bytes{1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  // The stream ends inside a sub-block: what is there is used, up to the code that ends
  // with it (its refill finds nothing more).
  Bytes cut = ImageData(2, {{kClear, 3}, {1, 3}, {6, 3}, {1, 3}, {7, 4}, {kEnd, 4}});
  cut.resize(cut.size() - 2);
  const TDecoded partial = Decode(4, 4, cut);
  EXPECT_EQ(partial.Pixels, (Bytes{1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(partial.Warnings, std::vector<std::string>{"Premature end of data"});
  EXPECT_FALSE(partial.Whole);
}

TEST(LZWDecoder, NoPixelsWithoutDataThatCanFillTheFrame) {
  const Bytes oneCode = ImageData(2, {{kClear, 3}, {1, 3}, {kEnd, 3}});
  struct TCase {
    const char* what;
    int width;
    int height;
    Bytes data;
  };
  const std::vector<TCase> cases = {
      {"no code size byte", 2, 1, {}},
      // Code size 12 would put the clear code past the table.
      {"code size 12", 2, 1, Bytes{12} + Chain({0xFF, 0xFF, 0xFF})},
      // The four bytes after the code size hold ten 3-bit codes at most, the i-th of which
      // gives at most i pixels: 55 in all.
      {"a frame larger than the data can fill", 8, 7, oneCode},
  };
  for (const TCase& c : cases) {
    const TDecoded decoded = Decode(c.width, c.height, c.data, false, 7);
    EXPECT_EQ(decoded.Pixels, Bytes{}) << c.what;
    EXPECT_FALSE(decoded.Whole) << c.what;
    EXPECT_EQ(decoded.Position, static_cast<int64_t>(c.data.size())) << c.what;
  }
  // The same bytes for a frame they could fill: what they hold, then the fill.
  const TDecoded partial = Decode(11, 5, oneCode, false, 7);
  EXPECT_EQ(partial.Pixels, Bytes{1} + Bytes(54, 7));
  EXPECT_FALSE(partial.Whole);
}

TEST(LZWDecoder, SurplusPixelsAreDroppedAndTheRestOfTheChainSkipped) {
  // "1", then "1 1" of which one pixel fits; padding puts the end code into a third
  // one-byte sub-block, which is skipped with the rest of the chain unread.
  const Bytes data =
      Bytes{2} + Chain(PackCodes({{kClear, 3}, {1, 3}, {6, 3}, {0, 7}, {kEnd, 3}}), 1);
  const TDecoded decoded = Decode(2, 1, data);
  EXPECT_EQ(decoded.Pixels, (Bytes{1, 1}));
  EXPECT_EQ(decoded.Position, static_cast<int64_t>(data.size()));
}

TEST(LZWDecoder, TableEntriesThatLeadBackToThemselvesFail) {
  // The first code after a clear may name entry 6 before it exists; entry 6 then gets
  // itself as its prefix.
  const Bytes self = ImageData(2, {{kClear, 3}, {6, 3}, {0, 3}, {6, 3}, {kEnd, 3}});
  const TDecoded failed = Decode(40, 1, self, false, 7);
  EXPECT_EQ(failed.Error, "Circular decoder table entry");
  // What was decoded stays; the rest holds the fill, not what the copies left past it.
  EXPECT_EQ(failed.Pixels, (Bytes{6, 0} + Bytes(38, 7)));
  // Entries 6 and 7 made each other's prefix: the chain overflows the pixel stack.
  const Bytes loop = ImageData(2, {{kClear, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}, {kEnd, 4}});
  EXPECT_EQ(Decode(32, 1, loop).Error, "Circular decoder table entry");
}

TEST(LZWDecoder, InterlacedRowsAreFilledOncePassByPass) {
  for (int height : {1, 2, 3, 5, 8, 9, 17}) {
    PeerFrame frame;
    frame.Width = 3;
    frame.Height = height;
    frame.Interlaced = true;
    for (int y = 0; y < height; ++y) frame.Pixels.insert(frame.Pixels.end(), 3, uint8_t(y));
    PeerGif gif{3, height, 32, {frame}};
    const TLoaded loaded = LoadGIF(WriteGiflibGif(gif));
    ASSERT_EQ(loaded.Error, "") << height;
    TGIFSubImage& decoded = loaded.Image->Images()[0];
    EXPECT_EQ(Bytes(decoded.Data(), decoded.Data() + decoded.DataSize()), frame.Pixels) << height;
    EXPECT_TRUE(loaded.Warnings.empty()) << height;
  }
}

namespace {

// The densest data there is for a frame of one colour: after the clear code, each code
// names the newest entry, one pixel longer than the string before it, at the width the
// table has reached; once the table is full, each code names its longest string, with no
// clear code. Enough codes for pixels pixels, and the end code.
Bytes DensestData(int64_t pixels) {
  std::vector<std::pair<int, int>> codes{{kClear, 3}, {1, 3}};
  int width = 3;
  int nextFree = kClear + 2;
  int64_t length = 1;
  for (int64_t made = 1; made < pixels; made += length) {
    const int code = std::min(nextFree, 4095);
    codes.emplace_back(code, width);
    if (nextFree < 4096) {
      ++length;
      if (++nextFree == (1 << width) && width < 12) ++width;
    }
  }
  codes.emplace_back(kEnd, width);
  return Bytes{2} + Chain(PackCodes(codes));
}

}  // namespace

// The limit on what data can fill must never refuse data that does fill the frame.
TEST(LZWDecoder, TheDensestDataIsNeverRefused) {
  for (auto [width, height] : {std::pair{1, 1}, {2, 1}, {55, 1}, {64, 64}, {4096, 4096}}) {
    const TDecoded decoded = Decode(width, height, DensestData(int64_t{width} * height));
    EXPECT_TRUE(decoded.Whole) << width << "x" << height;
    EXPECT_EQ(decoded.Pixels, Bytes(size_t(width) * height, 1)) << width << "x" << height;
  }
}

// Long strings are copied 16 bytes at a time, past their end: when the data stops, the fill
// follows the last string, and an interlaced frame gets the same pixels, row by row in the
// order of its passes.
TEST(LZWDecoder, DataCutShortLeavesTheFillRightAfterItsLastString) {
  constexpr int kSide = 64;
  Bytes data = DensestData(kSide * kSide);
  data.resize(data.size() / 2);
  const TDecoded plain = Decode(kSide, kSide, data, false, 7);
  const auto decoded =
      std::find(plain.Pixels.begin(), plain.Pixels.end(), 7) - plain.Pixels.begin();
  EXPECT_GT(decoded, 100);
  EXPECT_EQ(plain.Pixels, Bytes(decoded, 1) + Bytes(kSide * kSide - decoded, 7));
  EXPECT_FALSE(plain.Whole);

  const TDecoded interlaced = Decode(kSide, kSide, data, true, 7);
  TInterlacedRows rows(kSide);
  for (int i = 0; i < kSide; ++i, rows.Next()) {
    const auto row = [](const Bytes& pixels, int y) {
      return Bytes(pixels.begin() + y * kSide, pixels.begin() + (y + 1) * kSide);
    };
    EXPECT_EQ(row(interlaced.Pixels, rows.Row()), row(plain.Pixels, i)) << "row " << rows.Row();
  }
  EXPECT_EQ(interlaced.Warnings, plain.Warnings);
}
