// The encoders' exact output where it is fixed, and decodability by giflib and by this
// project's reader everywhere else.

#include <gtest/gtest.h>

#include <random>

#include "gif/equal_bytes.h"
#include "gif/few_values.h"
#include "gif/gif_messages.h"
#include "gif/lzw_encoder.h"
#include "gif/rle_encoder.h"
#include "runtime/exceptions.h"
#include "tests/gif/gif_test_util.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/raises.h"

namespace {

Bytes Encoded(TGIFEncoder& encoder, int bits, const Bytes& pixels, int width, int height,
              bool interlaced = false) {
  TMemoryStream stream;
  encoder.Encode(stream, bits, 1 << bits, pixels.data(), interlaced, height, width);
  const uint8_t* data = stream.Memory();
  return Bytes(data, data + stream.Size());
}

Bytes Unchained(const Bytes& imageData) {
  Bytes data;
  for (size_t at = 1; at < imageData.size() && imageData[at] != 0; at += imageData[at] + 1) {
    data.insert(data.end(), imageData.begin() + at + 1, imageData.begin() + at + 1 + imageData[at]);
  }
  return data;
}

// The codes as a GIF decoder reads them: widths grow when the decoder's next entry reaches
// the width's limit, and return to the initial width after a clear code.
std::vector<int> Codes(const Bytes& imageData) {
  const int bits = imageData[0];
  const int clear = 1 << bits;
  const Bytes data = Unchained(imageData);
  std::vector<int> codes;
  int width = bits + 1;
  int next = clear + 2;
  bool first = true;
  uint64_t bucket = 0;
  int held = 0;
  size_t at = 0;
  while (true) {
    while (held < width && at < data.size()) {
      bucket |= uint64_t{data[at++]} << held;
      held += 8;
    }
    if (held < width) break;
    const int code = static_cast<int>(bucket & ((1u << width) - 1));
    bucket >>= width;
    held -= width;
    codes.push_back(code);
    if (code == clear + 1) break;
    if (code == clear) {
      width = bits + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (!first && next < 4096) ++next;
    first = false;
    if (next == 1 << width && width < 12) ++width;
  }
  return codes;
}

Bytes Noise(size_t count, int colors, unsigned seed) {
  std::mt19937 random(seed);
  Bytes pixels(count);
  for (uint8_t& pixel : pixels) pixel = static_cast<uint8_t>(random() % colors);
  return pixels;
}

// Runs of every length from 1 to maxRun, in turn over the colours, then noise.
Bytes Runs(int width, int height, int colors, int maxRun) {
  Bytes pixels;
  const size_t size = size_t(width) * height;
  for (int run = 1; pixels.size() < size; run = run % maxRun + 1) {
    const uint8_t color = static_cast<uint8_t>(pixels.size() % colors);
    for (int i = 0; i < run && pixels.size() < size; ++i) pixels.push_back(color);
  }
  return pixels;
}

// A one-frame GIF around the image data, with a global table of the frame's size.
Bytes FileAround(const Bytes& imageData, int bits, int width, int height, bool interlaced) {
  return Screen(width, height, bits) +
         Descriptor(0, 0, width, height, interlaced ? TGIFSubImage::kInterlacedFlag : 0) +
         imageData + Bytes{kGIFTrailerByte};
}

void ExpectDecodesBack(const Bytes& imageData, const Bytes& pixels, int bits, int width, int height,
                       bool interlaced) {
  const Bytes file = FileAround(imageData, bits, width, height, interlaced);
  const PeerGif peer = ReadGiflibGif(file);
  ASSERT_EQ(peer.Frames.size(), 1u);
  EXPECT_EQ(peer.Frames[0].Pixels, pixels) << "giflib";
  const TLoaded loaded = LoadGIF(file);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_TRUE(loaded.Warnings.empty());
  TGIFSubImage& frame = loaded.Image->Images()[0];
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), frame.Data())) << "reader";
}

}  // namespace

TEST(HashTable, FullDictionaryOfCollidingKeysAnswersEveryCode) {
  THashTable table;
  // A full dictionary of keys in a regular pattern: long probe sequences where they collide.
  std::vector<uint32_t> keys;
  for (uint32_t prefix = 0; prefix < 4094 && keys.size() < 4089; prefix += 32) {
    for (uint32_t pixel = 0; pixel < 128; pixel += 4) keys.push_back(prefix << 8 | pixel);
  }
  for (size_t i = 0; i < keys.size(); ++i) table.Insert(keys[i], int(i + 6) & 0xFFF);
  for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(table.Lookup(keys[i]), int(i + 6) & 0xFFF);
  EXPECT_EQ(table.Lookup(keys[0] + 1), THashTable::kAbsent);
  table.Clear();
  EXPECT_EQ(table.Lookup(keys[5]), THashTable::kAbsent);
}

TEST(LZWEncoder, OnePixelOfTwoColoursIsClearPixelEndAtThreeBits) {
  TLZWEncoder encoder;
  TMemoryStream stream;
  const uint8_t pixel = 1;
  encoder.Encode(stream, 1, 2, &pixel, false, 1, 1);
  const uint8_t* data = stream.Memory();
  // Codes 4, 1, 5 at 3 bits each, least significant bit first.
  EXPECT_EQ(Bytes(data, data + stream.Size()), (Bytes{0x02, 0x02, 0x4C, 0x01, 0x00}));
}

TEST(LZWEncoder, EightBitTablesStartWithClear256AndEndWith257) {
  TLZWEncoder encoder;
  const Bytes imageData = Encoded(encoder, 8, Noise(100, 256, 1), 10, 10);
  EXPECT_EQ(imageData[0], 8);
  const std::vector<int> codes = Codes(imageData);
  EXPECT_EQ(codes.front(), 256);
  EXPECT_EQ(codes.back(), 257);
}

TEST(LZWEncoder, ClearsWhenTheNextFreeCodeWouldBe4095AndRestartsAtNineBits) {
  TLZWEncoder encoder;
  const Bytes pixels = Noise(200 * 100, 256, 2);
  const Bytes imageData = Encoded(encoder, 8, pixels, 200, 100);
  const std::vector<int> codes = Codes(imageData);
  // Codes 258..4094 are given out by the first 3837 string codes; the 3838th is followed
  // by the clear code.
  const int secondClear = 1 + 3838;
  ASSERT_GT(codes.size(), size_t(secondClear + 10));
  EXPECT_EQ(std::count(codes.begin() + 1, codes.begin() + secondClear, 256), 0);
  EXPECT_EQ(codes[secondClear], 256);
  ExpectDecodesBack(imageData, pixels, 8, 200, 100, false);
}

// giflib's LZW follows the same rules (clear when the next code would be 4095, widths grow
// as the next code passes the limit), so its image data is the reference, byte for byte.
Bytes GiflibImageData(const Bytes& pixels, int colors, int width, int height, bool interlaced) {
  PeerFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.Interlaced = interlaced;
  frame.Pixels = pixels;
  const Bytes file = WriteGiflibGif(PeerGif{width, height, colors, {frame}});
  const size_t descriptor = 13 + 3 * size_t(colors);
  constexpr size_t kDescriptorSize = 10;
  EXPECT_EQ(file.at(descriptor), 0x2C);
  return Bytes(file.begin() + long(descriptor + kDescriptorSize), file.end() - 1);
}

TEST(LZWEncoder, ImageDataEqualsGiflibsOnRunsNoiseClearsAndShortInterlacedFrames) {
  struct TCase {
    int Width, Height, MaxRun;
  };
  // Long runs cross rows and the dictionary's clear points; heights below 8 leave
  // interlace passes empty.
  // Noise of 600 x 300 pixels gives more image data than is held before a write.
  const std::vector<TCase> cases = {{173, 119, 1}, {173, 119, 7}, {173, 119, 300}, {173, 119, 5000},
                                    {1000, 90, 3}, {600, 300, 1}, {61, 1, 5},      {61, 3, 40},
                                    {61, 7, 9},    {40, 9, 2}};
  for (int bits : {1, 2, 4, 8}) {
    const int colors = 1 << bits;
    for (const TCase& c : cases) {
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << bits << " bits, " << c.Width << "x" << c.Height << ", runs to " << c.MaxRun
                     << (interlaced ? ", interlaced" : ""));
        const Bytes pixels = c.MaxRun == 1 ? Noise(size_t(c.Width) * c.Height, colors, 9)
                                           : Runs(c.Width, c.Height, colors, c.MaxRun);
        TLZWEncoder encoder;
        EXPECT_EQ(Encoded(encoder, bits, pixels, c.Width, c.Height, interlaced),
                  GiflibImageData(pixels, colors, c.Width, c.Height, interlaced));
      }
    }
  }
  // One colour for long enough that the dictionary fills with ever longer runs and clears.
  const Bytes flat(3000 * 3000, 1);
  TLZWEncoder encoder;
  EXPECT_EQ(Encoded(encoder, 1, flat, 3000, 3000), GiflibImageData(flat, 2, 3000, 3000, false));
}

// Pixels that take few of a 256-colour table's values are looked up directly by the
// values' numbers; past 16 values by hash. giflib's data is the reference either way.
TEST(LZWEncoder, FewValuesOfALargeTableEqualGiflibs) {
  for (int values : {1, 2, 3, 16, 17}) {
    for (int maxRun : {1, 40}) {
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE(testing::Message() << values << " values, runs to " << maxRun
                                        << (interlaced ? ", interlaced" : ""));
        Bytes pixels = maxRun == 1 ? Noise(173 * 119, values, 4) : Runs(173, 119, values, maxRun);
        // Spread over the table, the largest value last.
        for (uint8_t& pixel : pixels) pixel = uint8_t(255 - pixel * 15);
        TLZWEncoder encoder;
        EXPECT_EQ(Encoded(encoder, 8, pixels, 173, 119, interlaced),
                  GiflibImageData(pixels, 256, 173, 119, interlaced));
      }
    }
  }
}

TEST(LZWEncoder, ExactlyFullBlockHasNoEmptyBlockBeforeTheTerminator) {
  bool found = false;
  for (size_t count = 200; count < 1000 && !found; ++count) {
    TLZWEncoder encoder;
    const Bytes imageData = Encoded(encoder, 2, Noise(count, 4, 3), int(count), 1);
    if (imageData.size() != 1 + 1 + 255 + 1) continue;
    found = true;
    EXPECT_EQ(imageData[1], 255);
    EXPECT_EQ(imageData.back(), 0);
  }
  EXPECT_TRUE(found);
}

TEST(LZWEncoder, InterlacedRowsGoInPassOrder) {
  TLZWEncoder encoder;
  const Bytes imageData = Encoded(encoder, 2, {1, 2, 3}, 1, 3, true);
  EXPECT_EQ(Codes(imageData), (std::vector<int>{4, 1, 3, 2, 5}));

  const Bytes pixels = Noise(13 * 21, 16, 4);
  TLZWEncoder wide;
  ExpectDecodesBack(Encoded(wide, 4, pixels, 13, 21, true), pixels, 4, 13, 21, true);
}

TEST(LZWEncoder, EmptyFramesStillGetImageData) {
  TLZWEncoder encoder;
  TMemoryStream stream;
  encoder.Encode(stream, 8, 256, nullptr, false, 0, 0);
  const uint8_t* data = stream.Memory();
  const Bytes imageData(data, data + stream.Size());
  EXPECT_EQ(Codes(imageData), std::vector<int>{257});
  EXPECT_EQ(imageData.back(), 0);
}

// Pixels from the colour count on, and from the clear code on in a table larger than the
// code size can carry: such an index would be read back as a clear, an end or a string code.
TEST(GIFEncoders, PixelsOutsideTheTableAreRefused) {
  struct TCase {
    int Bits, Colors;
  };
  const Bytes pixels = {0, 1, 2, 3, 4, 5};
  for (const TCase& c : {TCase{2, 4}, TCase{2, 8}, TCase{1, 6}}) {
    TLZWEncoder lzw;
    TRLEEncoder rle;
    for (TGIFEncoder* encoder : std::vector<TGIFEncoder*>{&lzw, &rle}) {
      SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Colors << " colours"
                                      << (encoder == &rle ? ", RLE" : ", LZW"));
      TMemoryStream stream;
      EXPECT_EQ(MessageRaised<GIFException>(
                    [&] { encoder->Encode(stream, c.Bits, c.Colors, pixels.data(), false, 1, 6); }),
                kGIFColorNotInTable);
      EXPECT_EQ(stream.Size() > 0, true);
    }
  }
}

// What is written before a refused pixel: the code size and the whole sub-blocks of the
// codes of the pixels before it, as they begin the data of those pixels alone.
TEST(LZWEncoder, ARefusedPixelLeavesTheWholeSubBlocksBeforeIt) {
  for (int colors : {4, 256}) {
    for (size_t refusedAt : {size_t{0}, size_t{700}, size_t{180000}}) {
      SCOPED_TRACE(testing::Message() << colors << " colours, refused at " << refusedAt);
      Bytes pixels = Noise(200000, colors - 1, 6);
      pixels[refusedAt] = static_cast<uint8_t>(colors - 1);
      const int bits = colors == 4 ? 2 : 8;
      TMemoryStream refused;
      TLZWEncoder encoder;
      EXPECT_EQ(MessageRaised<GIFException>([&] {
                  encoder.Encode(refused, bits, colors - 1, pixels.data(), false, 1,
                                 static_cast<int>(pixels.size()));
                }),
                kGIFColorNotInTable);
      const Bytes before(pixels.begin(), pixels.begin() + static_cast<long>(refusedAt));
      TLZWEncoder whole;
      const Bytes complete = Encoded(whole, bits, before, static_cast<int>(before.size()), 1);
      const Bytes& written = refused.Bytes();
      EXPECT_EQ(written.size() % 256, 1u);
      // Only the codes' last sub-block, the last code and the end code may be missing.
      EXPECT_LT(complete.size() - written.size(), 256u + 5);
      EXPECT_TRUE(std::equal(written.begin(), written.end(), complete.begin()));
    }
  }
}

// Values are found eight pixels at a time: one other value anywhere in a word, or in the
// bytes after the last whole word, counts.
TEST(FewValues, NumbersTheValuesTakenInOrderOrNoneBeyondTheMost) {
  for (size_t other : {0, 5, 8, 13, 36}) {
    Bytes pixels(37, 7);
    pixels[other] = 200;
    pixels[20] = 3;
    const auto values = FewValues(pixels.data(), int64_t(pixels.size()), 3);
    ASSERT_TRUE(values) << other;
    EXPECT_EQ(values->Count, 3) << other;
    EXPECT_EQ(values->Number[3], 0);
    EXPECT_EQ(values->Number[7], 1);
    EXPECT_EQ(values->Number[200], 2);
    EXPECT_FALSE(FewValues(pixels.data(), int64_t(pixels.size()), 2)) << other;
  }
  EXPECT_EQ(FewValues(nullptr, 0, 1)->Count, 0);
}

TEST(EqualBytes, CountsTheRunUpToTheFirstOtherByteOrTheEnd) {
  Bytes bytes(40, 7);
  for (size_t start : {0, 1, 5}) {
    for (size_t other = start; other <= 40; ++other) {
      for (size_t end : {other, size_t{40}}) {
        Bytes run = bytes;
        if (other < 40) run[other] = 9;
        EXPECT_EQ(EqualBytes(run.data() + start, run.data() + end, 7), std::min(other, end) - start)
            << start << " " << other << " " << end;
      }
    }
  }
  EXPECT_EQ(EqualBytes(bytes.data(), bytes.data() + 40, 8), 0u);
}

TEST(GIFEncoders, EveryTableSizeAndPatternDecodesBack) {
  for (int bits = 1; bits <= 8; ++bits) {
    const int colors = 1 << bits;
    const int codeBits = std::max(bits, 2);
    for (bool interlaced : {false, true}) {
      for (int maxRun : {1, 7, 300, 5000}) {
        const Bytes pixels = Runs(173, 119, colors, maxRun);
        TLZWEncoder lzw;
        TRLEEncoder rle;
        for (TGIFEncoder* encoder : std::vector<TGIFEncoder*>{&lzw, &rle}) {
          SCOPED_TRACE(testing::Message()
                       << bits << " bits, runs to " << maxRun << (interlaced ? ", interlaced" : "")
                       << (encoder == &rle ? ", RLE" : ", LZW"));
          TMemoryStream stream;
          encoder->Encode(stream, bits, colors, pixels.data(), interlaced, 119, 173);
          const uint8_t* data = stream.Memory();
          const Bytes imageData(data, data + stream.Size());
          EXPECT_EQ(imageData[0], codeBits);
          ExpectDecodesBack(imageData, pixels, codeBits, 173, 119, interlaced);
        }
      }
    }
  }
}

TEST(RLEEncoder, LongRunsCostFewCodesAndNoiseDecodesBack) {
  TRLEEncoder rle;
  const Bytes flat(400 * 300, 7);
  const Bytes imageData = Encoded(rle, 8, flat, 400, 300);
  // 120000 pixels of one colour: growing run codes, far fewer than one code per pixel.
  EXPECT_LT(Codes(imageData).size(), 2000u);
  ExpectDecodesBack(imageData, flat, 8, 400, 300, false);

  const Bytes noise = Noise(300 * 200, 256, 5);
  TRLEEncoder again;
  ExpectDecodesBack(Encoded(again, 8, noise, 300, 200), noise, 8, 300, 200, false);
}
