#include "tests/imaging/tiff_test_files.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace {

// A tag number no reader knows; renaming a tag to it takes the tag away.
constexpr uint16_t kUnknownTag = 65000;

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

void Check(int ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("libtiff failed: ") + what);
}

void SetFields(TIFF* tiff, const TTestPage& page) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, page.planar);
  Check(TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression), "compression");
  if (page.compression == COMPRESSION_CCITTFAX3)
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, page.group3Options);
  if (page.compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (!page.colorMap.empty()) {
    const size_t entries = page.colorMap.size() / 3;
    std::vector<uint16_t> map = page.colorMap;
    TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data() + entries,
                 map.data() + 2 * entries);
  }
  if (page.xResolution > 0) {
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.xResolution);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.yResolution);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.resolutionUnit);
  }
  for (const auto& [tag, text] : page.textTags) TIFFSetField(tiff, tag, text.c_str());
  if (page.tileSize) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tileSize);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tileSize);
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                 page.rowsPerStrip ? page.rowsPerStrip : TIFFDefaultStripSize(tiff, 0));
  }
}

// Whole-byte samples only: the bytes of sample `sample` of every pixel of a row.
std::vector<uint8_t> Plane(const TTestPage& page, const uint8_t* row, int sample) {
  const int sampleBytes = page.bitsPerSample / 8;
  std::vector<uint8_t> plane;
  for (uint32_t x = 0; x < page.width; ++x) {
    const uint8_t* p = row + (int64_t{x} * page.samplesPerPixel + sample) * sampleBytes;
    plane.insert(plane.end(), p, p + sampleBytes);
  }
  return plane;
}

void WriteStrips(TIFF* tiff, const TTestPage& page) {
  const int64_t rowBytes = page.RowBytes();
  const int planes = page.planar == PLANARCONFIG_SEPARATE ? page.samplesPerPixel : 1;
  for (int sample = 0; sample < planes; ++sample) {
    for (uint32_t y = 0; y < page.height; ++y) {
      const uint8_t* row = page.pixels.data() + y * rowBytes;
      std::vector<uint8_t> line =
          planes > 1 ? Plane(page, row, sample) : std::vector<uint8_t>(row, row + rowBytes);
      Check(TIFFWriteScanline(tiff, line.data(), y, static_cast<uint16_t>(sample)) >= 0,
            "TIFFWriteScanline");
    }
  }
}

// Whole-byte pixels only.
void WriteTiles(TIFF* tiff, const TTestPage& page) {
  const int pixelBytes = page.bitsPerSample / 8 * page.samplesPerPixel;
  const uint32_t size = page.tileSize;
  for (uint32_t ty = 0; ty < page.height; ty += size) {
    for (uint32_t tx = 0; tx < page.width; tx += size) {
      std::vector<uint8_t> tile(size_t{size} * size * pixelBytes, 0);
      for (uint32_t y = ty; y < std::min(page.height, ty + size); ++y)
        for (uint32_t x = tx; x < std::min(page.width, tx + size); ++x)
          std::memcpy(tile.data() + ((y - ty) * size + (x - tx)) * pixelBytes,
                      page.pixels.data() + y * page.RowBytes() + x * pixelBytes, pixelBytes);
      Check(TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0) >= 0, "TIFFWriteTile");
    }
  }
}

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint32_t>(Get16(bytes, at) | Get16(bytes, at + 2) << 16);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;

size_t FirstDirectory(const std::vector<uint8_t>& bytes) {
  if (bytes.at(0) != 'I') throw std::runtime_error("not a little-endian TIFF file");
  return Get32(bytes, 4);
}

// The offset of the entry for tag in the first directory, if it has one.
std::optional<size_t> FindEntry(const std::vector<uint8_t>& bytes, uint16_t tag) {
  const size_t directory = FirstDirectory(bytes);
  const uint16_t entries = Get16(bytes, directory);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + kEntrySize * i;
    if (Get16(bytes, entry) == tag) return entry;
  }
  return std::nullopt;
}

size_t EntryOffset(const std::vector<uint8_t>& bytes, uint16_t tag) {
  if (const auto entry = FindEntry(bytes, tag)) return *entry;
  throw std::runtime_error("tag not in the first directory");
}

// The entry of the strip offsets, or of the tile offsets in a tiled file.
size_t OffsetsEntry(const std::vector<uint8_t>& bytes) {
  if (const auto entry = FindEntry(bytes, TIFFTAG_STRIPOFFSETS)) return *entry;
  return EntryOffset(bytes, TIFFTAG_TILEOFFSETS);
}

int64_t ValueBytes(const std::vector<uint8_t>& bytes, size_t entry) {
  return int64_t{TIFFDataWidth(static_cast<TIFFDataType>(Get16(bytes, entry + 2)))} *
         Get32(bytes, entry + 4);
}

// Where the values of an entry are: in the entry itself when they fit in four bytes.
size_t ValuesAt(const std::vector<uint8_t>& bytes, size_t entry) {
  return ValueBytes(bytes, entry) <= 4 ? entry + 8 : Get32(bytes, entry + 8);
}

// Adds Shift to every strip or tile offset (LONG values, as libtiff writes them).
void ShiftOffsets(std::vector<uint8_t>& bytes, uint32_t shift) {
  const size_t entry = OffsetsEntry(bytes);
  if (Get16(bytes, entry + 2) != TIFF_LONG) throw std::runtime_error("offsets are not LONG");
  const size_t values = ValuesAt(bytes, entry);
  for (uint32_t i = 0; i < Get32(bytes, entry + 4); ++i)
    Put32(bytes, values + 4 * i, Get32(bytes, values + 4 * i) + shift);
}

}  // namespace

void WriteTiffFile(const std::string& fileName, const std::vector<TTestPage>& pages) {
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(fileName.c_str(), "wl"));
  Check(tiff != nullptr, "TIFFOpen");
  for (const TTestPage& page : pages) {
    if (page.pixels.size() != static_cast<size_t>(page.RowBytes() * page.height))
      throw std::runtime_error("pixels do not fit the page");
    SetFields(tiff.get(), page);
    if (page.tileSize)
      WriteTiles(tiff.get(), page);
    else
      WriteStrips(tiff.get(), page);
    Check(TIFFWriteDirectory(tiff.get()), "TIFFWriteDirectory");
  }
}

std::vector<uint8_t> TiffBytes(const std::vector<TTestPage>& pages) {
  TempDir folder;
  const std::string fileName = folder.File("page.tif");
  WriteTiffFile(fileName, pages);
  const std::string bytes = ReadWholeFile(fileName);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void DropTag(std::vector<uint8_t>& bytes, uint16_t tag) {
  const size_t entry = EntryOffset(bytes, tag);
  bytes[entry] = kUnknownTag & 0xFF;
  bytes[entry + 1] = kUnknownTag >> 8;
}

std::vector<uint8_t> DirectoryFirst(const std::vector<uint8_t>& bytes) {
  const size_t directory = FirstDirectory(bytes);
  const uint16_t entries = Get16(bytes, directory);
  if (Get32(bytes, directory + 2 + kEntrySize * entries) != 0)
    throw std::runtime_error("more than one directory");
  // The directory and its values, then the pixel data.
  std::vector<uint8_t> moved(bytes.begin(), bytes.begin() + kHeaderSize);
  moved.insert(moved.end(), bytes.begin() + directory, bytes.end());
  moved.insert(moved.end(), bytes.begin() + kHeaderSize, bytes.begin() + directory);
  Put32(moved, 4, kHeaderSize);
  const auto back = static_cast<uint32_t>(directory - kHeaderSize);
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = kHeaderSize + 2 + kEntrySize * i;
    if (ValueBytes(moved, entry) <= 4) continue;
    if (Get32(moved, entry + 8) < directory) throw std::runtime_error("values before directory");
    Put32(moved, entry + 8, Get32(moved, entry + 8) - back);
  }
  ShiftOffsets(moved, static_cast<uint32_t>(bytes.size() - directory));
  return moved;
}

uint32_t StripOffset(const std::vector<uint8_t>& bytes, uint32_t index) {
  const size_t entry = OffsetsEntry(bytes);
  if (index >= Get32(bytes, entry + 4)) throw std::runtime_error("no such strip");
  const size_t values = ValuesAt(bytes, entry);
  return Get16(bytes, entry + 2) == TIFF_LONG ? Get32(bytes, values + 4 * index)
                                              : Get16(bytes, values + 2 * index);
}

void SetTagValue(std::vector<uint8_t>& bytes, uint16_t tag, uint32_t value) {
  const size_t entry = EntryOffset(bytes, tag);
  // A value too large for a SHORT makes the entry a LONG.
  if (value > UINT16_MAX) bytes[entry + 2] = TIFF_LONG;
  const int size = bytes[entry + 2] == TIFF_SHORT ? 2 : 4;
  for (int i = 0; i < size; ++i) bytes[entry + 8 + i] = static_cast<uint8_t>(value >> (8 * i));
}
