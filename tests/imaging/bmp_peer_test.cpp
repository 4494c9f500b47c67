// BMP files checked against ImageMagick: ours decode there to the pixels we hold, and the
// files it writes (every header kind, palettes, bit fields, RLE8) decode here to its pixels.
// A reader and writer wrong in the same way pass a round trip; they do not pass this.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "tests/support/rgb_image.h"
#include "tests/support/temp_dir.h"

namespace {

bool RunPeer(const std::string& arguments) {
  return std::system(("convert " + arguments + " 2>/dev/null").c_str()) == 0;
}

// The image as ImageMagick decodes it; empty when that fails.
TRgbImage PeerDecode(const TempDir& dir, const std::string& bmp) {
  const std::string ppm = dir.File("peer.ppm");
  if (!RunPeer("'" + bmp + "' -depth 8 'ppm:" + ppm + "'")) return {};
  return ReadRgbPpm(ppm);
}

// Channels may differ by Tolerance, for formats whose few bits each side widens its own way.
void ExpectSamePixels(TBitmap& bitmap, const TRgbImage& peer, int tolerance,
                      const std::string& what) {
  ASSERT_EQ(peer.Width, bitmap.Width()) << what;
  ASSERT_EQ(peer.Height, bitmap.Height()) << what;
  int worst = 0;
  for (int y = 0; y < peer.Height; ++y)
    for (int x = 0; x < peer.Width; ++x) {
      const TRGBColor ours = bitmap.Canvas().Pixel(x, y);
      const TRGBColor theirs = peer.At(x, y);
      worst = std::max({worst, std::abs(ours.Red - theirs.Red), std::abs(ours.Green - theirs.Green),
                        std::abs(ours.Blue - theirs.Blue)});
    }
  EXPECT_LE(worst, tolerance) << what;
}

// Random colours, stored as the format holds them (palette formats: their nearest entry).
TBitmap RandomBitmap(TPixelFormat format, unsigned seed) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(13, 7);
  std::mt19937 random(seed);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      bitmap.Canvas().SetPixel(x, y,
                               {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
                                static_cast<uint8_t>(random())});
  return bitmap;
}

// Five or six bits a channel: each side may round the widening to eight its own way.
constexpr int k16BitTolerance = 1;

TEST(BmpPeerTest, OurFilesOfEveryDepthDecodeAlikeInImageMagick) {
  TempDir dir;
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap bitmap = RandomBitmap(format, format);
    const std::string file = dir.File("ours.bmp");
    bitmap.SaveToFile(file);
    ExpectSamePixels(bitmap, PeerDecode(dir, file), format == pf16bit ? k16BitTolerance : 0,
                     "depth " + std::to_string(BitsPerPixel(format)));
  }
}

TEST(BmpPeerTest, ImageMagicksFilesOfEveryKindDecodeToItsPixels) {
  struct TKind {
    const char* options;
    int tolerance;
  };
  // A gradient with a block of another colour in the top-left corner, so that flipped
  // rows or swapped channels show.
  const std::string picture =
      "-size 23x11 gradient:red-blue -fill lime -draw 'rectangle 0,0 4,2' -alpha off ";
  const TKind kinds[] = {
      {"BMP3:", 0},                                          // 40-byte header, 24 bits
      {"BMP:", 0},                                           // 124-byte header
      {"-alpha on BMP:", 0},                                 // 32 bits with masks
      {"-define bmp:subtype=RGB565 BMP:", k16BitTolerance},  // 16 bits, 5-6-5 masks
      {"-define bmp:subtype=RGB555 BMP:", k16BitTolerance},  // 16 bits, 5-5-5 masks
      {"BMP2:", 0},                                          // 12-byte core header
      {"-type Palette BMP2:", 0},                            // core header, core colour table
      {"-type Palette BMP3:", 0},                            // 8 bits, colour table
      {"-type Palette -compress RLE BMP3:", 0},              // RLE8
      {"-colors 16 -type Palette BMP3:", 0},                 // 4 bits
      {"-type Bilevel BMP3:", 0},                            // 1 bit
  };
  TempDir dir;
  for (const TKind& kind : kinds) {
    const std::string file = dir.File("theirs.bmp");
    ASSERT_TRUE(RunPeer(picture + kind.options + "'" + file + "'")) << kind.options;
    TBitmap bitmap;
    bitmap.LoadFromFile(file);
    ExpectSamePixels(bitmap, PeerDecode(dir, file), kind.tolerance, kind.options);
  }
}

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// "BM", the file size, and a pixel offset just past Head (header, masks, colour table).
Bytes BmpFile(const Bytes& head, const Bytes& pixels) {
  constexpr uint32_t kFileHeaderSize = 14;
  Bytes file{'B', 'M'};
  Append(file, kFileHeaderSize + head.size() + pixels.size(), 4);
  Append(file, 0, 4);
  Append(file, kFileHeaderSize + head.size(), 4);
  return Concat({file, head, pixels});
}

// An info header of Size bytes; Masks (red, green, blue, alpha) fill the V2-V5 mask fields.
Bytes InfoHeader(int32_t width, int32_t height, int bits, uint32_t compression, uint32_t colorsUsed,
                 uint32_t size = 40, std::vector<uint32_t> masks = {}) {
  Bytes header;
  for (uint32_t field : {size, uint32_t(width), uint32_t(height)}) Append(header, field, 4);
  Append(header, 1, 2);  // planes
  Append(header, bits, 2);
  for (uint32_t field : {compression, 0u, 2835u, 2835u, colorsUsed, 0u}) Append(header, field, 4);
  for (uint32_t mask : masks) Append(header, mask, 4);
  header.resize(size, 0);
  return header;
}

Bytes CoreHeader(uint16_t width, uint16_t height, int bits) {
  Bytes header;
  for (uint32_t field : {12u, uint32_t(width), uint32_t(height), 1u, uint32_t(bits)})
    Append(header, field, field == 12u ? 4 : 2);
  return header;
}

// Count entries of Size bytes, a different colour each.
Bytes ColourTable(int count, int size) {
  Bytes table;
  for (int i = 0; i < count; ++i)
    for (int k = 0; k < size; ++k) table.push_back(static_cast<uint8_t>(i * 37 + k * 101));
  return table;
}

Bytes PatternBytes(size_t count, int modulo) {
  Bytes bytes(count);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 % modulo);
  return bytes;
}

// Run-length codes for a 4 x 3 image: the bottom row, half the next, and no end code.
const Bytes kRleEndingEarly{4, 1, 0, 0, 2, 1};
constexpr uint32_t kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3;

TEST(BmpPeerTest, EdgeFilesOfRealWritersDecodeAsImageMagickShowsThem) {
  struct TCase {
    const char* what;
    Bytes file;
    bool truncated;
  };
  const std::vector<uint32_t> alphaLast{0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
  const TCase cases[] = {
      // The table is as long as the pixel offset leaves room for, not 256 entries.
      {"OS/2 8 bits, 3-entry table",
       BmpFile(Concat({CoreHeader(32, 32, 8), ColourTable(3, 3)}), PatternBytes(32 * 32, 3)),
       false},
      {"24 bits, 300-entry table",
       BmpFile(Concat({InfoHeader(5, 3, 24, 0, 300), ColourTable(300, 4)}), PatternBytes(48, 256)),
       false},
      {"32-bit fields, alpha mask, V5 header",
       BmpFile(InfoHeader(5, 3, 32, kBiBitFields, 0, 124, alphaLast), PatternBytes(60, 256)),
       false},
      {"32-bit fields, alpha mask, 56-byte header",
       BmpFile(InfoHeader(5, 3, 32, kBiBitFields, 0, 56, alphaLast), PatternBytes(60, 256)), false},
      {"RLE8 ending early",
       BmpFile(Concat({InfoHeader(4, 3, 8, kBiRle8, 2), ColourTable(2, 4)}), kRleEndingEarly),
       true},
      {"RLE4 ending early",
       BmpFile(Concat({InfoHeader(4, 3, 4, kBiRle4, 2), ColourTable(2, 4)}),
               {4, 0x11, 0, 0, 2, 0x11}),
       true},
      // An end-of-bitmap code may leave pixels out on purpose: that is no cut.
      {"RLE8 ended by its code",
       BmpFile(Concat({InfoHeader(4, 3, 8, kBiRle8, 2), ColourTable(2, 4)}),
               Concat({kRleEndingEarly, {0, 1}})),
       false},
      {"RLE8 whole, without an end code",
       BmpFile(Concat({InfoHeader(4, 3, 8, kBiRle8, 2), ColourTable(2, 4)}),
               {4, 1, 0, 0, 4, 0, 0, 0, 4, 1}),
       false},
  };
  TempDir dir;
  for (const TCase& c : cases) {
    const std::string file = dir.File("edge.bmp");
    WriteWholeFile(file, std::string(c.file.begin(), c.file.end()));
    // ImageMagick shows what it decoded of the RLE files, and says they end early.
    const std::string ppm = dir.File("peer.ppm");
    std::remove(ppm.c_str());
    RunPeer("'" + file + "' -alpha off -depth 8 'ppm:" + ppm + "'");
    TBitmap bitmap;
    bitmap.LoadFromFile(file);
    ExpectSamePixels(bitmap, ReadRgbPpm(ppm), 0, c.what);
    EXPECT_EQ(bitmap.Truncated(), c.truncated) << c.what;
  }
}

// 32-bit fields with a fourth mask for alpha (BI_ALPHABITFIELDS, compression 6), after a
// 40-byte header or inside a V5 one, read as Pillow reads the same masks and pixels in a V5
// header with plain bit fields (Debian's Pillow refuses compression 6 itself; alpha is passed
// over). A layout Pillow does not know (10-10-10-2) gives each colour's top eight bits.
TEST(BmpPeerTest, AlphaBitFieldsAndOtherContiguousMasksAsPillowReadsThem) {
  constexpr uint32_t kBiAlphaBitFields = 6;
  constexpr int kWidth = 5, kHeight = 3;
  const Bytes pixels = PatternBytes(kWidth * kHeight * 4, 251);
  const std::vector<std::vector<uint32_t>> layouts = {
      {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
      {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
      {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
  };
  TempDir dir;
  const std::string file = dir.File("fields.bmp");
  for (const std::vector<uint32_t>& masks : layouts) {
    for (const uint32_t headerSize : {40u, 124u}) {
      Bytes head = InfoHeader(kWidth, kHeight, 32, kBiAlphaBitFields, 0, headerSize, masks);
      if (headerSize == 40)
        for (uint32_t mask : masks) Append(head, mask, 4);
      const Bytes ours = BmpFile(head, pixels);
      WriteWholeFile(file, std::string(ours.begin(), ours.end()));
      TBitmap bitmap;
      bitmap.LoadFromFile(file);
      const Bytes v5 =
          BmpFile(InfoHeader(kWidth, kHeight, 32, kBiBitFields, 0, 124, masks), pixels);
      WriteWholeFile(dir.File("v5.bmp"), std::string(v5.begin(), v5.end()));
      ASSERT_EQ(std::system(("cd '" + dir.Path() +
                             "' && /usr/bin/python3 -c \"from PIL import Image; "
                             "Image.open('v5.bmp').convert('RGB').save('pillow.ppm')\"")
                                .c_str()),
                0);
      ExpectSamePixels(
          bitmap, ReadRgbPpm(dir.File("pillow.ppm")), 0,
          "masks from " + std::to_string(masks[0]) + ", header " + std::to_string(headerSize));
    }
  }
  const std::vector<uint32_t> tenBits{0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
  const Bytes wide =
      BmpFile(InfoHeader(kWidth, kHeight, 32, kBiBitFields, 0, 124, tenBits), pixels);
  WriteWholeFile(file, std::string(wide.begin(), wide.end()));
  TBitmap bitmap;
  bitmap.LoadFromFile(file);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = pixels.data() + ((kHeight - 1 - y) * kWidth + x) * 4;
      const uint32_t v = p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
      const TRGBColor expected{uint8_t(v >> 22), uint8_t(v >> 12), uint8_t(v >> 2)};
      EXPECT_EQ(bitmap.Canvas().Pixel(x, y), expected) << x << "," << y;
    }
}

}  // namespace
