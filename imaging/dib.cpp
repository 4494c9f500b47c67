#include "imaging/dib.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "imaging/byte_order.h"
#include "runtime/exceptions.h"

namespace {

constexpr const char* kOutOfResources = "Out of system resources";
constexpr TBitFields kStandard16BitFields{0x7C00, 0x03E0, 0x001F};
constexpr TBitFields kStandard32BitFields{0xFF0000, 0x00FF00, 0x0000FF};

TBitFields EffectiveBitFields(const TDib& dib) {
  if (dib.BitFields.IsSet()) return dib.BitFields;
  return dib.PixelFormat == pf16bit ? kStandard16BitFields : kStandard32BitFields;
}

// A masked component widened (or narrowed) to 8 bits.
uint8_t ExtractComponent(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::bit_width(mask >> shift);
  const uint64_t component = (value & mask) >> shift;
  if (bits >= 8) return static_cast<uint8_t>(component >> (bits - 8));
  const uint64_t maximum = (uint64_t{1} << bits) - 1;
  return static_cast<uint8_t>((component * 255 + maximum / 2) / maximum);
}

uint32_t InsertComponent(uint8_t component, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::bit_width(mask >> shift);
  const uint64_t maximum = (uint64_t{1} << bits) - 1;
  return static_cast<uint32_t>(((component * maximum + 127) / 255) << shift) & mask;
}

uint32_t PackedValue(const uint8_t* row, int x, TPixelFormat format) {
  if (format == pf16bit) return LoadLE16(row + 2 * x);
  return LoadLE32(row + 4 * x);
}

void StorePacked(uint8_t* row, int x, TPixelFormat format, uint32_t value) {
  if (format == pf16bit)
    StoreLE16(row + 2 * x, static_cast<uint16_t>(value));
  else
    StoreLE32(row + 4 * x, value);
}

TPalette PaletteFor(const TDib& source, TPixelFormat format) {
  const size_t capacity = size_t{1} << BitsPerPixel(format);
  if (!source.Palette.empty() && source.Palette.size() <= capacity) return source.Palette;
  return StandardPalette(format);
}

}  // namespace

int BitsPerPixel(TPixelFormat Format) {
  switch (Format) {
    case pf1bit:
      return 1;
    case pf4bit:
      return 4;
    case pf8bit:
      return 8;
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
  }
  return 24;
}

bool IsIndexed(TPixelFormat Format) {
  return Format == pf1bit || Format == pf4bit || Format == pf8bit;
}

int64_t BytesPerRow(int Width, TPixelFormat Format) {
  return (int64_t{Width} * BitsPerPixel(Format) + 31) / 32 * 4;
}

uint32_t TDib::IndexOfRow(const uint8_t* row, int x) const {
  switch (PixelFormat) {
    case pf1bit:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    case pf8bit:
      return row[x];
    case pf24bit:
      return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    case pf16bit:
    case pf32bit:
      return PackedValue(row, x, PixelFormat);
  }
  return 0;
}

void TDib::SetIndexOfRow(uint8_t* row, int x, uint32_t value) const {
  switch (PixelFormat) {
    case pf1bit: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((value & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case pf4bit: {
      const int shift = (x & 1) ? 0 : 4;
      row[x >> 1] =
          static_cast<uint8_t>((row[x >> 1] & ~(0x0F << shift)) | ((value & 0x0F) << shift));
      break;
    }
    case pf8bit:
      row[x] = static_cast<uint8_t>(value);
      break;
    case pf24bit:
      row[3 * x] = static_cast<uint8_t>(value);
      row[3 * x + 1] = static_cast<uint8_t>(value >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(value >> 16);
      break;
    case pf16bit:
    case pf32bit:
      StorePacked(row, x, PixelFormat, value);
      break;
  }
}

TRGBColor TDib::PixelOfRow(const uint8_t* row, int x) const {
  if (IsIndexed(PixelFormat)) {
    const uint32_t index = IndexOfRow(row, x);
    return index < Palette.size() ? Palette[index] : clBlack;
  }
  if (PixelFormat == pf24bit || (PixelFormat == pf32bit && !BitFields.IsSet())) {
    const uint8_t* p = row + x * (PixelFormat == pf24bit ? 3 : 4);
    return {p[2], p[1], p[0]};
  }
  const TBitFields fields = EffectiveBitFields(*this);
  const uint32_t value = PackedValue(row, x, PixelFormat);
  return {ExtractComponent(value, fields.Red), ExtractComponent(value, fields.Green),
          ExtractComponent(value, fields.Blue)};
}

TPalette StandardPalette(TPixelFormat Format) {
  switch (Format) {
    case pf1bit:
      return {clBlack, clWhite};
    case pf4bit:
      return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
              {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
              {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
              {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    case pf8bit: {
      TPalette cube;
      for (int i = 0; i < 256; ++i)
        cube.push_back({static_cast<uint8_t>((i >> 5) * 255 / 7),
                        static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7),
                        static_cast<uint8_t>((i & 3) * 255 / 3)});
      return cube;
    }
    default:
      return {};
  }
}

TColorMatcher::TColorMatcher(TPalette Palette) : palette_(std::move(Palette)) {}

uint8_t TColorMatcher::IndexOf(TRGBColor Color) {
  const uint32_t key = Color.Red << 16 | Color.Green << 8 | Color.Blue;
  if (key != lastKey_) {
    lastIndex_ = Search(key, Color);
    lastKey_ = key;
  }
  return lastIndex_;
}

uint8_t TColorMatcher::Search(uint32_t Key, TRGBColor Color) {
  if (const auto found = known_.find(Key); found != known_.end()) return found->second;
  int best = 0;
  int bestDistance = 1 << 30;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const int dr = palette_[i].Red - Color.Red;
    const int dg = palette_[i].Green - Color.Green;
    const int db = palette_[i].Blue - Color.Blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  known_.emplace(Key, static_cast<uint8_t>(best));
  return static_cast<uint8_t>(best);
}

TPixelWriter::TPixelWriter(const TDib& Target)
    : target_(Target), fields_(EffectiveBitFields(Target)) {
  if (IsIndexed(Target.PixelFormat)) matcher_ = std::make_unique<TColorMatcher>(Target.Palette);
}

void TPixelWriter::Write(uint8_t* row, int x, TRGBColor Color) {
  switch (target_.PixelFormat) {
    case pf1bit:
    case pf4bit:
    case pf8bit:
      target_.SetIndexOfRow(row, x, matcher_->IndexOf(Color));
      break;
    case pf24bit:
      row[3 * x] = Color.Blue;
      row[3 * x + 1] = Color.Green;
      row[3 * x + 2] = Color.Red;
      break;
    case pf16bit:
    case pf32bit:
      StorePacked(row, x, target_.PixelFormat,
                  InsertComponent(Color.Red, fields_.Red) |
                      InsertComponent(Color.Green, fields_.Green) |
                      InsertComponent(Color.Blue, fields_.Blue));
      break;
  }
}

namespace {

// Allocates the rows of a dib whose shape is set and makes every pixel white.
void AllocateWhite(TDib& dib) {
  if (dib.Width < 0 || dib.Height < 0 || int64_t{dib.Width} * dib.Height > kMaxImagePixels)
    throw EInvalidGraphicOperation(kOutOfResources);
  dib.Bits.clear();
  if (dib.Empty()) return;
  const int64_t rowSize = dib.RowSize();
  const int Height = dib.Height;
  const int Width = dib.Width;
  try {
    dib.Bits.assign(static_cast<size_t>(rowSize * Height), 0);
  } catch (const std::bad_alloc&) {
    throw EInvalidGraphicOperation(kOutOfResources);
  }
  TPixelWriter writer(dib);
  uint8_t* first = dib.Bits.data();
  for (int x = 0; x < Width; ++x) writer.Write(first, x, clWhite);
  for (int y = 1; y < Height; ++y) std::memcpy(first + y * rowSize, first, rowSize);
}

// Indexed pixels into 24 bits: one palette entry per pixel (an index past the palette's
// end is black, as everywhere).
void ExpandIndexed(const TDib& Source, TDib& Target) {
  std::vector<TRGBColor> colors(size_t{1} << BitsPerPixel(Source.PixelFormat), clBlack);
  std::copy_n(Source.Palette.begin(), std::min(Source.Palette.size(), colors.size()),
              colors.begin());
  for (int y = 0; y < Source.Height; ++y) {
    const uint8_t* from = Source.Row(y);
    uint8_t* to = Target.Row(y);
    for (int x = 0; x < Source.Width; ++x, to += 3) {
      const TRGBColor color = colors[Source.IndexOfRow(from, x)];
      to[0] = color.Blue;
      to[1] = color.Green;
      to[2] = color.Red;
    }
  }
}

}  // namespace

TDib MakeDib(int Width, int Height, TPixelFormat Format, TPalette Palette) {
  TDib dib;
  dib.Width = Width;
  dib.Height = Height;
  dib.PixelFormat = Format;
  if (IsIndexed(Format)) {
    dib.Palette = Palette.empty() ? StandardPalette(Format) : std::move(Palette);
    dib.Palette.resize(std::min(dib.Palette.size(), size_t{1} << BitsPerPixel(Format)));
  } else {
    dib.Palette = std::move(Palette);
  }
  AllocateWhite(dib);
  return dib;
}

TDib ResizedDib(const TDib& Source, int Width, int Height) {
  TDib target;
  target.Width = Width;
  target.Height = Height;
  target.PixelFormat = Source.PixelFormat;
  target.Palette = Source.Palette;
  target.BitFields = Source.BitFields;
  target.HeaderKind = Source.HeaderKind;
  target.XPelsPerMeter = Source.XPelsPerMeter;
  target.YPelsPerMeter = Source.YPelsPerMeter;
  target.ClrImportant = Source.ClrImportant;
  AllocateWhite(target);
  const int rows = std::min(Height, Source.Height);
  const int columns = std::min(Width, Source.Width);
  // A side of 0 has no rows to copy from or to (their memory is null).
  if (rows <= 0 || columns <= 0) return target;
  const int bits = BitsPerPixel(Source.PixelFormat);
  for (int y = 0; y < rows; ++y) {
    if (bits >= 8) {
      std::memcpy(target.Row(y), Source.Row(y), static_cast<size_t>(columns) * bits / 8);
      continue;
    }
    for (int x = 0; x < columns; ++x)
      target.SetIndexOfRow(target.Row(y), x, Source.IndexOfRow(Source.Row(y), x));
  }
  return target;
}

TDib ConvertDib(const TDib& Source, TPixelFormat Format) {
  if (Source.PixelFormat == Format) return Source;
  TDib target = MakeDib(Source.Width, Source.Height, Format,
                        IsIndexed(Format) ? PaletteFor(Source, Format) : TPalette{});
  target.HeaderKind = (Format == pf16bit || Format == pf32bit) ? bhInfo : Source.HeaderKind;
  target.XPelsPerMeter = Source.XPelsPerMeter;
  target.YPelsPerMeter = Source.YPelsPerMeter;
  if (IsIndexed(Source.PixelFormat) && Format == pf24bit) {
    ExpandIndexed(Source, target);
    return target;
  }
  const bool sameIndices = IsIndexed(Source.PixelFormat) && target.Palette == Source.Palette;
  TPixelWriter writer(target);
  for (int y = 0; y < Source.Height; ++y) {
    const uint8_t* from = Source.Row(y);
    uint8_t* to = target.Row(y);
    for (int x = 0; x < Source.Width; ++x) {
      const uint32_t index = Source.IndexOfRow(from, x);
      if (sameIndices && index < target.Palette.size())
        target.SetIndexOfRow(to, x, index);
      else
        writer.Write(to, x, Source.PixelOfRow(from, x));
    }
  }
  return target;
}
