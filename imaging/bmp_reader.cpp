#include "imaging/bmp_reader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "imaging/bmp_format.h"
#include "imaging/byte_order.h"
#include "imaging/data_bound.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// Longer headers than the V5 one are not made by any writer we know; refusing them keeps a
// lying size from costing memory.
constexpr uint32_t kLargestHeaderSize = 4096;
// From this size on (V2 headers and later) the colour masks are part of the header, and
// from the next (V3) the alpha mask too.
constexpr uint32_t kHeaderWithMasksSize = 52;
constexpr uint32_t kHeaderWithAlphaMaskSize = 56;
constexpr int kBmpMaskSize = 4;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(kInvalidBitmap);
}

void ReadExactly(TStream& stream, void* buffer, int64_t count) {
  if (stream.Read(buffer, count) != count) Invalid();
}

struct TBmpInfo {
  uint32_t size = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t compression = biRGB;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
  TBitFields masks;
};

TBitFields LoadMasks(const uint8_t* p) {
  return {LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8)};
}

// The colour masks, from the header when it holds them, else from the bytes after it. The
// alpha mask of biAlphaBitFields is passed over: the picture shows its colours, as it does
// for the alpha of the longer headers.
TBitFields ReadMasks(TStream& stream, TBmpInfo& info, const uint8_t* header) {
  const uint32_t size = info.size;
  TBitFields masks;
  if (size >= kHeaderWithMasksSize) {
    masks = LoadMasks(header + kBmpInfoHeaderSize - 4);
  } else {
    uint8_t bytes[kBmpBitFieldsSize];
    ReadExactly(stream, bytes, sizeof bytes);
    masks = LoadMasks(bytes);
  }
  if (info.compression == biAlphaBitFields && size < kHeaderWithAlphaMaskSize) {
    uint8_t alpha[kBmpMaskSize];
    ReadExactly(stream, alpha, sizeof alpha);
  }
  info.compression = biBitFields;
  return masks;
}

TBmpInfo ReadCoreHeader(TStream& stream) {
  uint8_t core[kBmpCoreHeaderSize - 4];
  ReadExactly(stream, core, sizeof core);
  TBmpInfo info;
  info.size = kBmpCoreHeaderSize;
  info.width = LoadLE16(core);
  info.height = LoadLE16(core + 2);
  info.planes = LoadLE16(core + 4);
  info.bitCount = LoadLE16(core + 6);
  return info;
}

TBmpInfo ReadInfoHeader(TStream& stream, uint32_t size) {
  if (size < kBmpInfoHeaderSize || size > kLargestHeaderSize) Invalid();
  std::vector<uint8_t> header(size - 4);
  ReadExactly(stream, header.data(), static_cast<int64_t>(header.size()));
  const uint8_t* p = header.data();
  TBmpInfo info;
  info.size = size;
  info.width = static_cast<int32_t>(LoadLE32(p));
  info.height = static_cast<int32_t>(LoadLE32(p + 4));
  info.planes = LoadLE16(p + 8);
  info.bitCount = LoadLE16(p + 10);
  info.compression = LoadLE32(p + 12);
  info.sizeImage = LoadLE32(p + 16);
  info.xPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 20));
  info.yPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 24));
  info.clrUsed = LoadLE32(p + 28);
  info.clrImportant = LoadLE32(p + 32);
  if (info.compression == biBitFields || info.compression == biAlphaBitFields)
    info.masks = ReadMasks(stream, info, p);
  return info;
}

TPixelFormat FormatOf(uint16_t bitCount) {
  switch (bitCount) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 16:
      return pf16bit;
    case 24:
      return pf24bit;
    case 32:
      return pf32bit;
    default:
      Invalid();
  }
}

void Validate(const TBmpInfo& info) {
  if (info.planes != 1 || info.width < 0 || info.height == INT32_MIN) Invalid();
  const TPixelFormat format = FormatOf(info.bitCount);
  if (info.size == kBmpCoreHeaderSize && (format == pf16bit || format == pf32bit)) Invalid();
  const bool topDown = info.height < 0;
  switch (info.compression) {
    case biRGB:
      break;
    case biRLE8:
      if (format != pf8bit || topDown) Invalid();
      break;
    case biRLE4:
      if (format != pf4bit || topDown) Invalid();
      break;
    case biBitFields:
      if (format != pf16bit && format != pf32bit) Invalid();
      break;
    default:
      Invalid();
  }
  // A side of 0 counts as 1, so that a header cannot declare a billion empty rows.
  const int64_t width = std::max<int64_t>(info.width, 1);
  const int64_t height = std::max<int64_t>(std::abs(int64_t{info.height}), 1);
  if (width * height > ImagePixelLimit()) Invalid();
}

// How many colour entries the file holds: what the header counts (or the depth's full
// table), but never past a pixel offset that starts the pixels earlier, as OS/2 writers
// do with short tables; bits above 8 need no table at all.
uint32_t ColorTableEntries(const TBmpInfo& info, int64_t tableStart, int64_t pixelStart,
                           int entrySize) {
  uint32_t count = info.clrUsed;
  if (count == 0) count = info.bitCount <= 8 ? 1u << info.bitCount : 0;
  // An offset with no room for even one entry is wrong, not a short table.
  const int64_t gap = pixelStart - tableStart;
  if (gap >= entrySize && gap < int64_t{count} * entrySize)
    count = static_cast<uint32_t>(gap / entrySize);
  return count;
}

// Keeps the entries the depth can index (at most 256 for deeper images, which keep theirs
// only to write them back) and passes over the rest, which some writers add.
TPalette ReadColorTable(TStream& stream, const TBmpInfo& info, int64_t pixelStart) {
  const int entrySize = info.size == kBmpCoreHeaderSize ? kBmpTripleSize : kBmpQuadSize;
  const int64_t tableStart = stream.Position();
  const uint32_t count = ColorTableEntries(info, tableStart, pixelStart, entrySize);
  const int64_t tableEnd = tableStart + int64_t{count} * entrySize;
  // Checked before anything is allocated: a table larger than the stream is a lie.
  if (tableEnd > stream.Size()) Invalid();
  const size_t usable = info.bitCount <= 8 ? size_t{1} << info.bitCount : kMaxPaletteEntries;
  const size_t kept = std::min<size_t>(count, usable);
  std::vector<uint8_t> table(kept * entrySize);
  ReadExactly(stream, table.data(), static_cast<int64_t>(table.size()));
  stream.SetPosition(tableEnd);
  TPalette palette;
  for (size_t i = 0; i < kept; ++i) {
    const uint8_t* entry = table.data() + i * entrySize;
    palette.push_back({entry[2], entry[1], entry[0]});
  }
  return palette;
}

// The pixel bytes start after the colour table; a file that leaves a gap says so in its
// pixel offset, which is honoured when it points past the table and into the file.
void SeekToPixels(TStream& stream, int64_t pixelStart) {
  if (pixelStart > stream.Position() && pixelStart <= stream.Size()) stream.SetPosition(pixelStart);
}

// Rows of no bytes (a picture 0 pixels wide, which may claim 2^28 rows) have nothing to
// reverse.
void ReverseRows(TDib& dib) {
  const int64_t rowSize = dib.RowSize();
  if (rowSize == 0) return;
  for (int top = 0, bottom = dib.Height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(dib.Row(top), dib.Row(top) + rowSize, dib.Row(bottom));
}

// Runs of RLE4 or RLE8 codes into the rows, bottom row first; pixels the codes leave out
// keep index 0 (the background ImageMagick shows there too), and codes that point outside
// the image are clipped.
class TRleDecoder {
 public:
  TRleDecoder(const std::vector<uint8_t>& codes, TDib& dib, bool fourBit)
      : codes_(codes), dib_(dib), fourBit_(fourBit) {}

  // Answers false when the codes ran out before the end-of-bitmap code and before the
  // last pixel: the picture is partial.
  bool Run() {
    while (i_ + 1 < codes_.size() && y_ < dib_.Height) {
      const uint8_t count = codes_[i_++];
      const uint8_t value = codes_[i_++];
      if (count > 0)
        Repeat(count, value);
      else if (!Escape(value))
        return true;
    }
    return y_ >= dib_.Height || (y_ == dib_.Height - 1 && x_ >= dib_.Width);
  }

 private:
  void Put(uint32_t index) {
    if (x_ < dib_.Width && y_ < dib_.Height)
      dib_.SetIndexOfRow(dib_.Bits.data() + y_ * dib_.RowSize(), x_, index);
    ++x_;
  }
  uint32_t Nibble(uint8_t byte, int k) const { return (k & 1) ? byte & 0x0F : byte >> 4; }

  void Repeat(int count, uint8_t value) {
    for (int k = 0; k < count; ++k) Put(fourBit_ ? Nibble(value, k) : value);
  }

  // Answers false at the end of the bitmap.
  bool Escape(uint8_t code) {
    switch (code) {
      case 0:  // end of line
        x_ = 0;
        ++y_;
        return true;
      case 1:  // end of bitmap
        return false;
      case 2:  // delta
        if (i_ + 1 >= codes_.size()) {
          i_ = codes_.size();
          return true;
        }
        x_ += codes_[i_];
        y_ += codes_[i_ + 1];
        i_ += 2;
        return true;
      default:
        Literal(code);
        return true;
    }
  }

  // code pixels given one by one, in bytes padded to a 16-bit boundary.
  void Literal(int count) {
    const size_t bytes = fourBit_ ? (count + 1) / 2 : count;
    for (int k = 0; k < count; ++k) {
      const size_t at = i_ + (fourBit_ ? k / 2 : k);
      if (at >= codes_.size()) break;
      Put(fourBit_ ? Nibble(codes_[at], k) : codes_[at]);
    }
    i_ += (bytes + 1) & ~size_t{1};
  }

  const std::vector<uint8_t>& codes_;
  TDib& dib_;
  const bool fourBit_;
  size_t i_ = 0;
  int x_ = 0;
  int y_ = 0;
};

// The most pixels one byte of pixel data makes. A run-length pair makes at most 255;
// pixels that an end-of-bitmap code or a delta leaves out are made by no data, and a file
// that leaves out more than a small picture's worth is refused with the bombs.
double PixelsPerByte(const TBmpInfo& info, const TDib& dib) {
  constexpr double kLongestRunPerByte = 255.0 / 2;
  if (info.compression == biRLE4 || info.compression == biRLE8) return kLongestRunPerByte;
  return 8.0 / BitsPerPixel(dib.PixelFormat);
}

// Answers false when the stream ends before the pixels the header declares; what was
// read is kept and the rest stays index 0.
bool ReadPixels(TStream& stream, const TBmpInfo& info, TDib& dib) {
  const int64_t rowsSize = dib.RowSize() * dib.Height;
  const int64_t available = std::max<int64_t>(0, stream.Size() - stream.Position());
  const bool rle = info.compression == biRLE4 || info.compression == biRLE8;
  // Compressed data has no size of its own: without a stated size it runs to the end.
  const int64_t declared = info.sizeImage != 0 ? info.sizeImage : rle ? available : rowsSize;
  const int64_t count = std::min({declared, available, rle ? available : rowsSize});
  if (!DataCanFill(dib.Width, dib.Height, PixelsOfData(available, PixelsPerByte(info, dib))))
    throw EInvalidGraphic(TooLittleDataText(dib.Width, dib.Height));
  dib.Bits.assign(static_cast<size_t>(rowsSize), 0);
  if (!rle) {
    ReadExactly(stream, dib.Bits.data(), count);
    if (info.height < 0) ReverseRows(dib);
    return count == std::min(declared, rowsSize);
  }
  std::vector<uint8_t> codes(static_cast<size_t>(count));
  ReadExactly(stream, codes.data(), count);
  return TRleDecoder(codes, dib, info.compression == biRLE4).Run();
}

}  // namespace

TDib ReadBmp(TStream& Stream, bool* EndsEarly) {
  const int64_t fileStart = Stream.Position();
  uint8_t fileHeader[kBmpFileHeaderSize];
  ReadExactly(Stream, fileHeader, sizeof fileHeader);
  if (LoadLE16(fileHeader) != kBmpSignature) Invalid();
  const uint32_t pixelOffset = LoadLE32(fileHeader + 10);

  uint8_t sizeBytes[4];
  ReadExactly(Stream, sizeBytes, sizeof sizeBytes);
  const uint32_t headerSize = LoadLE32(sizeBytes);
  const TBmpInfo info = headerSize == kBmpCoreHeaderSize ? ReadCoreHeader(Stream)
                                                         : ReadInfoHeader(Stream, headerSize);
  Validate(info);

  TDib dib;
  dib.Width = info.width;
  dib.Height = std::abs(info.height);
  dib.PixelFormat = FormatOf(info.bitCount);
  dib.HeaderKind = info.size == kBmpCoreHeaderSize ? bhCore : bhInfo;
  dib.BitFields = info.masks;
  dib.XPelsPerMeter = info.xPelsPerMeter;
  dib.YPelsPerMeter = info.yPelsPerMeter;
  dib.ClrImportant = info.clrImportant;
  const int64_t pixelStart = fileStart + pixelOffset;
  dib.Palette = ReadColorTable(Stream, info, pixelStart);
  SeekToPixels(Stream, pixelStart);
  const bool whole = ReadPixels(Stream, info, dib);
  if (EndsEarly != nullptr) *EndsEarly = !whole;
  return dib;
}
