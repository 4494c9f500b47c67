#include "imaging/bmp_writer.h"

#include <algorithm>

#include "imaging/bmp_format.h"
#include "imaging/byte_order.h"
#include "runtime/stream.h"

namespace {

constexpr uint16_t kPlanes = 1;

bool WritesCoreHeader(const TDib& dib) {
  constexpr int kLargestCoreSide = 0xFFFF;
  return dib.HeaderKind == bhCore && dib.PixelFormat != pf16bit && dib.PixelFormat != pf32bit &&
         dib.Width <= kLargestCoreSide && dib.Height <= kLargestCoreSide;
}

bool WritesBitFields(const TDib& dib) {
  return dib.BitFields.IsSet() && (dib.PixelFormat == pf16bit || dib.PixelFormat == pf32bit);
}

// The colour table as written: indexed bitmaps their table, deeper ones their optional
// palette. A core header has no entry count, so it always carries the full table.
TPalette TableToWrite(const TDib& dib) {
  TPalette table = dib.Palette;
  const int bits = BitsPerPixel(dib.PixelFormat);
  const size_t limit = bits <= 8 ? size_t{1} << bits : kMaxPaletteEntries;
  table.resize(std::min(table.size(), limit));
  if (WritesCoreHeader(dib) && bits <= 8) table.resize(limit, clBlack);
  return table;
}

void AppendInfoHeader(std::vector<uint8_t>& out, const TDib& dib, uint32_t entries) {
  AppendLE32(out, kBmpInfoHeaderSize);
  AppendLE32(out, static_cast<uint32_t>(dib.Width));
  AppendLE32(out, static_cast<uint32_t>(dib.Height));
  AppendLE16(out, kPlanes);
  AppendLE16(out, BitsPerPixel(dib.PixelFormat));
  AppendLE32(out, WritesBitFields(dib) ? biBitFields : biRGB);
  AppendLE32(out, static_cast<uint32_t>(dib.Bits.size()));
  AppendLE32(out, static_cast<uint32_t>(dib.XPelsPerMeter));
  AppendLE32(out, static_cast<uint32_t>(dib.YPelsPerMeter));
  AppendLE32(out, entries);
  AppendLE32(out, std::min(dib.ClrImportant, entries));
  if (WritesBitFields(dib)) {
    AppendLE32(out, dib.BitFields.Red);
    AppendLE32(out, dib.BitFields.Green);
    AppendLE32(out, dib.BitFields.Blue);
  }
}

void AppendCoreHeader(std::vector<uint8_t>& out, const TDib& dib) {
  AppendLE32(out, kBmpCoreHeaderSize);
  AppendLE16(out, static_cast<uint32_t>(dib.Width));
  AppendLE16(out, static_cast<uint32_t>(dib.Height));
  AppendLE16(out, kPlanes);
  AppendLE16(out, BitsPerPixel(dib.PixelFormat));
}

void AppendColorTable(std::vector<uint8_t>& out, const TPalette& table, bool core) {
  for (const TRGBColor& color : table) {
    out.push_back(color.Blue);
    out.push_back(color.Green);
    out.push_back(color.Red);
    if (!core) out.push_back(0);
  }
}

}  // namespace

void WriteBmp(const TDib& Dib, TStream& Stream) {
  const bool core = WritesCoreHeader(Dib);
  const TPalette table = TableToWrite(Dib);
  std::vector<uint8_t> headers;
  if (core)
    AppendCoreHeader(headers, Dib);
  else
    AppendInfoHeader(headers, Dib, static_cast<uint32_t>(table.size()));
  AppendColorTable(headers, table, core);

  const uint32_t pixelOffset = kBmpFileHeaderSize + static_cast<uint32_t>(headers.size());
  std::vector<uint8_t> fileHeader;
  AppendLE16(fileHeader, kBmpSignature);
  AppendLE32(fileHeader, pixelOffset + static_cast<uint32_t>(Dib.Bits.size()));
  AppendLE16(fileHeader, 0);
  AppendLE16(fileHeader, 0);
  AppendLE32(fileHeader, pixelOffset);

  Stream.WriteBuffer(fileHeader.data(), static_cast<int64_t>(fileHeader.size()));
  Stream.WriteBuffer(headers.data(), static_cast<int64_t>(headers.size()));
  Stream.WriteBuffer(Dib.Bits.data(), static_cast<int64_t>(Dib.Bits.size()));
}
