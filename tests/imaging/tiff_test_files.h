#pragma once
// TIFF files for the tests, written by libtiff itself, and small byte-level edits of them
// for the tags libtiff would not leave out.

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TTestPage {
  uint32_t width = 1;
  uint32_t height = 1;
  uint16_t bitsPerSample = 8;
  uint16_t samplesPerPixel = 1;
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint32_t rowsPerStrip = 0;  // 0: libtiff's choice
  uint32_t tileSize = 0;      // 0: strips; else square tiles of this size (a multiple of 16)
  uint32_t group3Options = 0;
  // Red entries, then green, then blue (2^bits each).
  std::vector<uint16_t> colorMap;
  float xResolution = 0;  // 0: no resolution tags
  float yResolution = 0;
  uint16_t resolutionUnit = RESUNIT_INCH;
  std::vector<std::pair<uint32_t, std::string>> textTags;
  // The rows from the top, each packed to whole bytes, samples contiguous (16-bit samples
  // in the machine's byte order). Planar and tiled files are cut from this.
  std::vector<uint8_t> pixels;

  int64_t RowBytes() const { return (int64_t{width} * bitsPerSample * samplesPerPixel + 7) / 8; }
};

void WriteTiffFile(const std::string& fileName, const std::vector<TTestPage>& pages);
std::vector<uint8_t> TiffBytes(const std::vector<TTestPage>& pages);

// Edits of the first directory of a little-endian file: a tag renamed to an unknown
// private one (so it is absent), or the value of a one-value SHORT or LONG entry replaced.
void DropTag(std::vector<uint8_t>& bytes, uint16_t tag);
void SetTagValue(std::vector<uint8_t>& bytes, uint16_t tag, uint32_t value);

// A one-page little-endian file of libtiff's with its directory (and the values it points
// to) moved before the pixel data, as Pillow and fax software lay files out: cutting such a
// file cuts strips, not the directory.
std::vector<uint8_t> DirectoryFirst(const std::vector<uint8_t>& bytes);
// Where strip (or tile) Index starts, from the first directory.
uint32_t StripOffset(const std::vector<uint8_t>& bytes, uint32_t index);
