#include "imaging/tiff_data_bound.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "imaging/data_bound.h"

namespace {

// The most decoded bytes one encoded byte gives. Packbits repeats a byte 128 times for
// two; an LZW code of at least 9 bits stands for at most 4096 bytes; deflate's longest
// match costs two bits for 258 bytes; a JPEG block costs at least two bits for 64 samples.
// Fax rows are counted apart. What libtiff decodes beyond these (LZMA, ZSTD, WebP, ...)
// gets a generous ratio of its own.
constexpr double kPackbitsRatio = 64;
constexpr double kLzwRatio = 4096;
constexpr double kDeflateRatio = 1032;
constexpr double kJpegRatio = 256;
constexpr double kOtherRatio = 65536;
// A fax row costs at least one bit: G4 and 2D G3 code a row like the one before with one.
constexpr double kFaxRowsPerByte = 8;

double DecodedBytesPerByte(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
      return 1;
    case COMPRESSION_PACKBITS:
      return kPackbitsRatio;
    case COMPRESSION_LZW:
      return kLzwRatio;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
      return kDeflateRatio;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
      return kJpegRatio;
    default:
      return kOtherRatio;
  }
}

bool IsFax(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW ||
         compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
}

// The most pixels one byte of the page's strips can make.
double PixelsPerByte(TIFF* tiff, uint16_t compression, uint32_t width) {
  if (IsFax(compression)) return kFaxRowsPerByte * width;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  const double bitsPerPixel = std::max(1.0, static_cast<double>(bitsPerSample) * samplesPerPixel);
  return DecodedBytesPerByte(compression) * 8 / bitsPerPixel;
}

using TByteRange = std::pair<int64_t, int64_t>;

// Where each strip (or tile) lies inside the file, cut at its end. A range the same as the
// one before is left out: a page of many strips that all point at the same bytes (or at
// none) gives one range, not a long list to sort.
std::vector<TByteRange> RangesOfStriles(TIFF* tiff, int64_t fileSize) {
  const uint32_t count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
  std::vector<TByteRange> ranges;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t offset = TIFFGetStrileOffset(tiff, i);
    const uint64_t size = TIFFGetStrileByteCount(tiff, i);
    if (offset >= static_cast<uint64_t>(fileSize)) continue;
    const auto begin = static_cast<int64_t>(offset);
    const TByteRange range{begin, begin + static_cast<int64_t>(std::min<uint64_t>(
                                              size, static_cast<uint64_t>(fileSize - begin)))};
    if (ranges.empty() || ranges.back() != range) ranges.push_back(range);
  }
  return ranges;
}

// The bytes inside the file that the strips (or tiles) cover, overlaps counted once.
int64_t BytesOfStriles(TIFF* tiff, int64_t fileSize) {
  std::vector<TByteRange> ranges = RangesOfStriles(tiff, fileSize);
  // Writers put the strips one after another: sorting is rarely needed.
  if (!std::is_sorted(ranges.begin(), ranges.end())) std::sort(ranges.begin(), ranges.end());
  int64_t bytes = 0;
  int64_t covered = 0;
  for (const auto& [begin, end] : ranges) {
    bytes += std::max<int64_t>(0, end - std::max(begin, covered));
    covered = std::max(covered, end);
  }
  return bytes;
}

}  // namespace

int64_t TiffPixelsTheDataCanMake(TIFF* Tiff, int64_t FileSize) {
  uint16_t compression = COMPRESSION_NONE;
  uint32_t width = 0;
  uint32_t height = 0;
  TIFFGetFieldDefaulted(Tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(Tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(Tiff, TIFFTAG_IMAGELENGTH, &height);
  const double pixelsPerByte = PixelsPerByte(Tiff, compression, width);
  // A page that the whole file could not fill is refused on that alone, without walking
  // its strips: a few bytes may claim a million of them.
  const int64_t fromTheWholeFile = PixelsOfData(FileSize, pixelsPerByte);
  if (!DataCanFill(width, height, fromTheWholeFile)) return fromTheWholeFile;
  return PixelsOfData(BytesOfStriles(Tiff, FileSize), pixelsPerByte);
}
