#pragma once
// A device-independent bitmap as a value: size, pixel format, colour table and the pixel
// rows, bottom-up, each row padded to a multiple of 4 bytes (the BMP file layout).
// TBitmap holds one; the BMP reader makes one and the writer writes one.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "imaging/color.h"

enum TPixelFormat { pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit };

int BitsPerPixel(TPixelFormat Format);
bool IsIndexed(TPixelFormat Format);
// Bytes of one stored row: width times bits per pixel, rounded up to 4 bytes.
int64_t BytesPerRow(int Width, TPixelFormat Format);

// Colour masks of 16- and 32-bit pixels. All zero means the standard layout: 5-5-5 bits
// for 16 bits, blue-green-red-unused bytes for 32 bits.
struct TBitFields {
  uint32_t Red = 0;
  uint32_t Green = 0;
  uint32_t Blue = 0;
  bool IsSet() const { return Red != 0 || Green != 0 || Blue != 0; }
  friend bool operator==(const TBitFields&, const TBitFields&) = default;
};

// Which info header a bitmap came with; a core-header bitmap is written back as one.
enum TBmpHeaderKind { bhInfo, bhCore };

// Readers of outside data refuse images with more pixels than this before allocating.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

struct TDib {
  int Width = 0;
  int Height = 0;
  TPixelFormat PixelFormat = pf24bit;
  // Indexed formats: the colour table (at most 2^bits entries; indices past its end show
  // black). Deeper formats: an optional palette written with the file, usually empty.
  TPalette Palette;
  TBitFields BitFields;
  // Details of the file the bitmap came from, written back when it is saved.
  TBmpHeaderKind HeaderKind = bhInfo;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ClrImportant = 0;
  // Height rows of RowSize() bytes, the bottom row first.
  std::vector<uint8_t> Bits;

  int64_t RowSize() const { return BytesPerRow(Width, PixelFormat); }
  bool Empty() const { return Width == 0 || Height == 0; }
  // Row y counted from the top. No range check: callers check (TBitmap::ScanLine does).
  uint8_t* Row(int y) { return Bits.data() + (Height - 1 - y) * RowSize(); }
  const uint8_t* Row(int y) const { return Bits.data() + (Height - 1 - y) * RowSize(); }

  // The colour of pixel x of a row of this format.
  TRGBColor PixelOfRow(const uint8_t* row, int x) const;
  // The raw value of pixel x: the index for indexed formats.
  uint32_t IndexOfRow(const uint8_t* row, int x) const;
  void SetIndexOfRow(uint8_t* row, int x, uint32_t value) const;
};

// A dib of the given shape, every pixel white (for indexed formats: the palette entry
// nearest to white). Raises EInvalidGraphicOperation "Out of system resources" for
// negative sizes or more than kMaxImagePixels pixels.
TDib MakeDib(int Width, int Height, TPixelFormat Format, TPalette Palette);

// The dib at another size: the old content at the top-left, new pixels white; format,
// palette and file details stay.
TDib ResizedDib(const TDib& Source, int Width, int Height);

// The same picture in another format: indexed targets take the source palette when it
// fits, else the standard palette of the depth, and map every colour to the nearest
// entry.
TDib ConvertDib(const TDib& Source, TPixelFormat Format);

// The palette a new bitmap of an indexed format gets: black and white for 1 bit, the 16
// standard colours for 4 bits, a 3-3-2 colour cube for 8 bits.
TPalette StandardPalette(TPixelFormat Format);

// Nearest-colour search over a palette (the first of equally near entries wins),
// remembered per colour so that a large image costs one search per distinct colour, and
// a run of one colour (a chart's background) no lookup at all after its first pixel.
class TColorMatcher {
 public:
  explicit TColorMatcher(TPalette Palette);
  uint8_t IndexOf(TRGBColor Color);

 private:
  uint8_t Search(uint32_t Key, TRGBColor Color);

  TPalette palette_;
  std::unordered_map<uint32_t, uint8_t> known_;
  static constexpr uint32_t kNoKey = 0xFFFFFFFF;  // keys have 24 bits: this one is none
  uint32_t lastKey_ = kNoKey;
  uint8_t lastIndex_ = 0;
};

// Stores colours into the rows of one dib; indexed formats take the nearest palette entry.
class TPixelWriter {
 public:
  explicit TPixelWriter(const TDib& Target);
  void Write(uint8_t* row, int x, TRGBColor Color);

 private:
  const TDib& target_;
  TBitFields fields_;
  std::unique_ptr<TColorMatcher> matcher_;
};
