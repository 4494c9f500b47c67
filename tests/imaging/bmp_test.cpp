#include <gtest/gtest.h>

#include <random>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The fields of a 40-byte (or longer) info header that the tests vary.
struct TInfo {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t clrUsed = 0;
  uint32_t headerSize = 40;
};

// "BM" file header with a pixel offset right after header and table, then the header,
// then whatever follows (masks, colour table, pixels).
Bytes BmpFile(const TInfo& info, const Bytes& rest, uint32_t tableAndMasks) {
  Bytes file{'B', 'M'};
  Put32(file, 14 + info.headerSize + static_cast<uint32_t>(rest.size()));
  Put32(file, 0);
  Put32(file, 14 + info.headerSize + tableAndMasks);
  Put32(file, info.headerSize);
  Put32(file, info.width);
  Put32(file, info.height);
  Put16(file, info.planes);
  Put16(file, info.bits);
  Put32(file, info.compression);
  Put32(file, info.sizeImage);
  Put32(file, 2835);  // 72 dpi
  Put32(file, 2835);
  Put32(file, info.clrUsed);
  Put32(file, 0);
  // V4/V5 fields left zero; a lying size gets no bytes of its own.
  constexpr uint32_t kV5HeaderSize = 124;
  if (info.headerSize <= kV5HeaderSize)
    file.resize(std::max<size_t>(file.size(), 14 + info.headerSize), 0);
  file.insert(file.end(), rest.begin(), rest.end());
  return file;
}

TBitmap Load(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  TBitmap bitmap;
  bitmap.LoadFromStream(stream);
  return bitmap;
}

Bytes Save(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return stream.Bytes();
}

void ExpectInvalid(const Bytes& bytes) {
  try {
    Load(bytes);
    FAIL() << "loaded";
  } catch (const EInvalidGraphic& error) {
    EXPECT_EQ(error.Message(), "Bitmap image is not valid");
  }
}

// A bitmap of the format with pseudo-random raw pixel bytes (all indices inside the table).
TBitmap RandomBitmap(TPixelFormat format, int width, int height, unsigned seed) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  bitmap.SetSize(width, height);
  std::mt19937 random(seed);
  TDib dib = bitmap.Dib();
  for (uint8_t& byte : dib.Bits) byte = static_cast<uint8_t>(random());
  if (format == pf8bit) dib.Palette.resize(256);
  bitmap.SetDib(dib);
  return bitmap;
}

TEST(BmpTest, OnePixelAt24BitsIs58Bytes) {
  TBitmap bitmap;
  bitmap.SetSize(1, 1);
  bitmap.Canvas().SetPixel(0, 0, {10, 20, 30});
  const Bytes file = Save(bitmap);
  ASSERT_EQ(file.size(), 58u);  // 14 + 40 + one 3-byte pixel padded to 4
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[2], 58);   // file size
  EXPECT_EQ(file[10], 54);  // pixel offset
  EXPECT_EQ(file[14], 40);  // info header size
  EXPECT_EQ(file[28], 24);  // bits per pixel
  EXPECT_EQ(file[46], 0);   // no colour table entries
  EXPECT_EQ(file[54], 30);  // blue, green, red
  EXPECT_EQ(file[56], 10);
}

TEST(BmpTest, EveryDepthRoundTripsPixelExact) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap bitmap = RandomBitmap(format, 13, 7, format);
    const Bytes file = Save(bitmap);
    TBitmap back = Load(file);
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_EQ(back.Dib().Bits, bitmap.Dib().Bits) << format;
    EXPECT_EQ(back.Palette(), bitmap.Palette()) << format;
    EXPECT_EQ(Save(back), file) << format;
  }
}

TEST(BmpTest, ColourTableCountsWhatIsWritten) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 2);
  bitmap.SetPalette({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  const Bytes file = Save(bitmap);
  EXPECT_EQ(file[46], 3);                     // biClrUsed
  EXPECT_EQ(file[10], 14 + 40 + 3 * 4);       // pixels after three entries
  EXPECT_EQ(file.size(), 14u + 40 + 12 + 8);  // two rows of 4 bytes
  EXPECT_EQ(Load(file).Palette().size(), 3u);
  // A 24-bit bitmap with a palette of its own writes it as an optional table.
  TBitmap deep;
  deep.SetSize(1, 1);
  deep.SetPalette({{9, 9, 9}});
  const Bytes deepFile = Save(deep);
  EXPECT_EQ(deepFile.size(), 14u + 40 + 4 + 4);
  EXPECT_EQ(Load(deepFile).Palette(), (TPalette{{9, 9, 9}}));
}

// A pixel offset inside the table the header declares ends the table there, as OS/2
// writers mean it; one with no room for a single entry is wrong and the whole table is
// read. Either way the bitmap is written back so that it reads the same again.
TEST(BmpTest, PixelOffsetInsideTheColourTable) {
  TInfo info;
  info.bits = 1;
  const Bytes rest{3, 2, 1, 0, 6, 5, 4, 0, 0x80, 0, 0, 0};
  TBitmap shortened = Load(BmpFile(info, rest, 4));
  EXPECT_EQ(shortened.Palette(), (TPalette{{1, 2, 3}}));
  EXPECT_EQ(shortened.ScanLine(0)[0], 6);  // the pixels start at the offset
  TBitmap whole = Load(BmpFile(info, rest, 2));
  EXPECT_EQ(whole.Palette(), (TPalette{{1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(whole.Canvas().Pixel(0, 0), (TRGBColor{4, 5, 6}));
  for (TBitmap* bitmap : {&shortened, &whole}) {
    TBitmap back = Load(Save(*bitmap));
    EXPECT_EQ(back.Palette(), bitmap->Palette());
    EXPECT_EQ(back.Dib().Bits, bitmap->Dib().Bits);
  }
}

TEST(BmpTest, CoreHeaderFilesAreWrittenBackAsCore) {
  // 12-byte core header: width 2, height 1, 1 plane, 4 bits; 16 three-byte entries.
  Bytes file{'B', 'M'};
  Put32(file, 14 + 12 + 48 + 4);
  Put32(file, 0);
  Put32(file, 14 + 12 + 48);
  Put32(file, 12);
  Put16(file, 2);
  Put16(file, 1);
  Put16(file, 1);
  Put16(file, 4);
  for (int i = 0; i < 16; ++i)
    file.insert(file.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
  file.insert(file.end(), {0x3F, 0, 0, 0});  // pixels 3 and 15
  TBitmap bitmap = Load(file);
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), (TRGBColor{9, 6, 3}));
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), (TRGBColor{45, 30, 15}));
  EXPECT_EQ(Save(bitmap), file);
}

TEST(BmpTest, BitFieldMasksOf16And32BitsAreReadAndWrittenBack) {
  // 16 bits, 5-6-5 masks after the 40-byte header; one pixel pure green, one pure red.
  Bytes rest;
  Put32(rest, 0xF800);
  Put32(rest, 0x07E0);
  Put32(rest, 0x001F);
  Put16(rest, 0x07E0);
  Put16(rest, 0xF800);
  TInfo info;
  info.width = 2;
  info.bits = 16;
  info.compression = 3;
  const Bytes file = BmpFile(info, rest, 12);
  TBitmap bitmap = Load(file);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), (TRGBColor{0, 255, 0}));
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), (TRGBColor{255, 0, 0}));
  const Bytes again = Save(bitmap);
  EXPECT_EQ(Bytes(again.begin() + 54, again.end()), rest);
  // 32 bits with the masks inside a 124-byte V5 header: red in the top byte.
  Bytes pixel;
  Put32(pixel, 0xFF000000);
  TInfo v5;
  v5.bits = 32;
  v5.compression = 3;
  v5.headerSize = 124;
  Bytes v5File = BmpFile(v5, pixel, 0);
  const Bytes masks{0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0};  // red, green, blue
  std::copy(masks.begin(), masks.end(), v5File.begin() + 14 + 40);
  EXPECT_EQ(Load(v5File).Canvas().Pixel(0, 0), (TRGBColor{255, 0, 0}));
}

TEST(BmpTest, TopDownFilesBecomeBottomUp) {
  TInfo info;
  info.height = -2;
  const Bytes rows{1, 1, 1, 0, 2, 2, 2, 0};  // top row first
  TBitmap bitmap = Load(BmpFile(info, rows, 0));
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), (TRGBColor{1, 1, 1}));
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), (TRGBColor{2, 2, 2}));
  EXPECT_EQ(Save(bitmap)[22], 2);  // written with a positive height
}

Bytes GreyTable(int entries) {
  Bytes table;
  for (int i = 0; i < entries; ++i)
    table.insert(table.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return table;
}

TEST(BmpTest, Rle8Decodes) {
  TInfo info;
  info.width = 5;
  info.height = 3;
  info.bits = 8;
  info.compression = 1;
  info.clrUsed = 8;
  Bytes rest = GreyTable(8);
  rest.insert(rest.end(), {
                              3, 7,           // bottom row: 7 7 7
                              0, 3, 1, 2, 4,  // literal 1 2 4, padded to a word
                              0,              //   (pad)
                              0, 0,           // end of line
                              0, 2, 2, 1,     // delta: right 2, up 1 (to the top row)
                              2, 5,           // 5 5 at columns 2 and 3
                              0, 1,           // end of bitmap
                          });
  TBitmap bitmap = Load(BmpFile(info, rest, 32));
  const auto index = [&](int x, int y) { return bitmap.ScanLine(y)[x]; };
  EXPECT_EQ(index(0, 2), 7);
  EXPECT_EQ(index(2, 2), 7);
  EXPECT_EQ(index(3, 2), 1);
  EXPECT_EQ(index(4, 2), 2);  // column 5 of the literal is clipped away
  EXPECT_EQ(index(0, 1), 0);  // left out: index 0
  EXPECT_EQ(index(2, 0), 5);
  EXPECT_EQ(index(3, 0), 5);
  EXPECT_EQ(index(4, 0), 0);
}

TEST(BmpTest, Rle4Decodes) {
  TInfo info;
  info.width = 6;
  info.height = 1;
  info.bits = 4;
  info.compression = 2;
  Bytes rest = GreyTable(16);
  rest.insert(rest.end(), {
                              3, 0x12,           // 1 2 1
                              0, 3, 0xAB, 0xC0,  // literal A B C, two bytes (already a word)
                              0, 1,              // end of bitmap
                          });
  TBitmap bitmap = Load(BmpFile(info, rest, 64));
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
  const uint8_t* row = bitmap.ScanLine(0);
  EXPECT_EQ(row[0], 0x12);
  EXPECT_EQ(row[1], 0x1A);
  EXPECT_EQ(row[2], 0xBC);
  EXPECT_EQ(Save(bitmap)[30], 0);  // written back uncompressed
}

TEST(BmpTest, TruncatedPixelsLoadWithTheRestZero) {
  TInfo info;
  info.width = 1;
  info.height = 2;
  const Bytes file = BmpFile(info, {9, 9, 9, 0}, 0);  // only the bottom row
  TBitmap bitmap = Load(file);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), (TRGBColor{9, 9, 9}));
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clBlack);
  EXPECT_TRUE(bitmap.Truncated());
  EXPECT_EQ(bitmap.Warnings(), "Bitmap data ends early");
  // The next whole file clears the mark.
  TMemoryStream whole(BmpFile(info, {9, 9, 9, 0, 9, 9, 9, 0}, 0));
  bitmap.LoadFromStream(whole);
  EXPECT_FALSE(bitmap.Truncated());
}

TEST(BmpTest, BadAndLyingHeadersAreInvalid) {
  TInfo good;
  const Bytes pixel{1, 2, 3, 0};
  const Bytes file = BmpFile(good, pixel, 0);
  for (size_t cut = 0; cut < 54; cut += 3) ExpectInvalid(Bytes(file.begin(), file.begin() + cut));
  Bytes signature = file;
  signature[1] = 'A';
  ExpectInvalid(signature);

  auto with = [&](auto change) {
    TInfo info;
    change(info);
    return BmpFile(info, pixel, 0);
  };
  ExpectInvalid(with([](TInfo& i) { i.planes = 2; }));
  ExpectInvalid(with([](TInfo& i) { i.bits = 7; }));
  ExpectInvalid(with([](TInfo& i) { i.width = -1; }));
  ExpectInvalid(with([](TInfo& i) { i.compression = 4; }));                      // JPEG inside
  ExpectInvalid(with([](TInfo& i) { i.compression = 1; }));                      // RLE8 at 24 bits
  ExpectInvalid(with([](TInfo& i) { i.width = 1 << 20, i.height = 1 << 20; }));  // too many pixels
  ExpectInvalid(with([](TInfo& i) { i.width = 0, i.height = -(1 << 30); }));     // empty rows
  ExpectInvalid(with([](TInfo& i) { i.bits = 8, i.clrUsed = 0x10000000; }));     // huge table
  ExpectInvalid(with([](TInfo& i) { i.bits = 8; }));                             // table missing
  ExpectInvalid(with([](TInfo& i) { i.headerSize = 30; }));
  ExpectInvalid(with([](TInfo& i) { i.headerSize = 0x7FFFFFFF; }));
  // A lying image size reads only what is there.
  EXPECT_EQ(Load(with([](TInfo& i) { i.sizeImage = 0xFFFFFFF0; })).Canvas().Pixel(0, 0),
            (TRGBColor{3, 2, 1}));
}

TEST(BmpTest, FailedLoadKeepsThePreviousImage) {
  TBitmap bitmap;
  bitmap.SetSize(4, 4);
  TMemoryStream garbage(Bytes{'B', 'M', 1, 2});
  EXPECT_THROW(bitmap.LoadFromStream(garbage), EInvalidGraphic);
  EXPECT_EQ(bitmap.Width(), 4);
}

TEST(BmpTest, SaveToFileReplacesTheFileWhole) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.SetSize(3, 3);
  bitmap.SaveToFile(dir.File("a.bmp"));
  TBitmap back;
  back.LoadFromFile(dir.File("a.bmp"));
  EXPECT_EQ(back.Dib().Bits, bitmap.Dib().Bits);
  EXPECT_THROW(bitmap.SaveToFile(dir.File("no/such/folder.bmp")), EFCreateError);
}

}  // namespace
