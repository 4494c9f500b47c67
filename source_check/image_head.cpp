#include "source_check/image_head.h"

#include <cstdlib>
#include <map>

#include "imaging/image_signature.h"

namespace {

// Reads numbers of either byte order; a read past the end gives nothing.
class THeadBytes {
 public:
  THeadBytes(const std::vector<uint8_t>& bytes, bool bigEndian)
      : bytes_(bytes), bigEndian_(bigEndian) {}
  bool Has(size_t at, size_t count) const {
    return at <= bytes_.size() && count <= bytes_.size() - at;
  }
  uint32_t U16(size_t at) const { return Number(at, 2); }
  uint32_t U32(size_t at) const { return Number(at, 4); }
  uint8_t U8(size_t at) const { return bytes_[at]; }

 private:
  const std::vector<uint8_t>& bytes_;
  bool bigEndian_;

  uint32_t Number(size_t at, size_t count) const {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t byte = bytes_[bigEndian_ ? at + i : at + count - 1 - i];
      value = value << 8 | byte;
    }
    return value;
  }
};

// GIF: the logical screen's size follows the six bytes of the signature and version.
void GifSize(const THeadBytes& bytes, TImageHead& head) {
  constexpr size_t kScreen = 6;
  if (!bytes.Has(kScreen, 4)) return;
  head.Width = bytes.U16(kScreen);
  head.Height = bytes.U16(kScreen + 2);
}

// PNG: the first chunk is IHDR, whose data starts with the width and the height.
void PngSize(const THeadBytes& bytes, TImageHead& head) {
  constexpr size_t kChunkType = 12, kData = 16;
  constexpr uint32_t kIhdr = 0x49484452;
  if (!bytes.Has(kData, 8) || bytes.U32(kChunkType) != kIhdr) return;
  head.Width = bytes.U32(kData);
  head.Height = bytes.U32(kData + 4);
}

// BMP: an OS/2 core header (12 bytes) holds 16-bit sizes, every later one 32-bit signed
// ones; a negative height is a picture stored top-down.
void BmpSize(const THeadBytes& bytes, TImageHead& head) {
  constexpr size_t kHeaderSize = 14, kSizes = 18, kCoreHeader = 12;
  if (!bytes.Has(kHeaderSize, 4)) return;
  if (bytes.U32(kHeaderSize) == kCoreHeader) {
    if (!bytes.Has(kSizes, 4)) return;
    head.Width = bytes.U16(kSizes);
    head.Height = bytes.U16(kSizes + 2);
    return;
  }
  if (!bytes.Has(kSizes, 8)) return;
  head.Width = static_cast<int32_t>(bytes.U32(kSizes));
  head.Height = std::abs(static_cast<int64_t>(static_cast<int32_t>(bytes.U32(kSizes + 4))));
}

bool IsStartOfFrame(uint8_t marker) {
  constexpr uint8_t kSof0 = 0xC0, kSof15 = 0xCF, kDht = 0xC4, kJpg = 0xC8, kDac = 0xCC;
  return marker >= kSof0 && marker <= kSof15 && marker != kDht && marker != kJpg && marker != kDac;
}

// JPEG: the segments are walked to the first start of frame, which holds the height and
// the width.
void JpegSize(const THeadBytes& bytes, TImageHead& head) {
  constexpr uint8_t kMarker = 0xFF, kFirstRestart = 0xD0, kLastRestart = 0xD9, kTem = 0x01;
  size_t at = 2;
  while (bytes.Has(at, 4) && bytes.U8(at) == kMarker) {
    const uint8_t marker = bytes.U8(at + 1);
    if (marker == kMarker) {  // fill
      ++at;
      continue;
    }
    if ((marker >= kFirstRestart && marker <= kLastRestart) || marker == kTem) {
      at += 2;
      continue;
    }
    const uint32_t length = bytes.U16(at + 2);
    if (IsStartOfFrame(marker)) {
      if (!bytes.Has(at + 5, 4)) return;
      head.Height = bytes.U16(at + 5);
      head.Width = bytes.U16(at + 7);
      return;
    }
    if (length < 2) return;
    at += 2 + length;
  }
}

// TIFF: the first directory, when it lies within the bytes, holds ImageWidth and
// ImageLength as SHORT or LONG values.
void TiffSize(const THeadBytes& bytes, TImageHead& head) {
  constexpr uint32_t kImageWidth = 256, kImageLength = 257, kShort = 3, kLong = 4;
  constexpr size_t kEntrySize = 12;
  if (!bytes.Has(4, 4)) return;
  const size_t directory = bytes.U32(4);
  if (!bytes.Has(directory, 2)) return;
  const uint32_t count = bytes.U16(directory);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = directory + 2 + i * kEntrySize;
    if (!bytes.Has(entry, kEntrySize)) return;
    const uint32_t tag = bytes.U16(entry), type = bytes.U16(entry + 2);
    if (type != kShort && type != kLong) continue;
    const int64_t value = type == kShort ? bytes.U16(entry + 8) : bytes.U32(entry + 8);
    if (tag == kImageWidth) head.Width = value;
    if (tag == kImageLength) head.Height = value;
  }
}

struct TKind {
  const char* mimeType;
  bool bigEndian;
  void (*size)(const THeadBytes&, TImageHead&);
};

// Mime types and size readers by the kind the signature names (imaging/image_signature).
const std::map<std::string, TKind>& Kinds() {
  static const std::map<std::string, TKind> kinds{
      {".gif", {"image/gif", false, GifSize}},   {".png", {"image/png", true, PngSize}},
      {".bmp", {"image/bmp", false, BmpSize}},   {".jpg", {"image/jpeg", true, JpegSize}},
      {".tif", {"image/tiff", false, TiffSize}},
  };
  return kinds;
}

}  // namespace

TImageHead ReadImageHead(const std::vector<uint8_t>& bytes) {
  TImageHead head;
  const auto kind = Kinds().find(ImageKindOfBytes(bytes));
  if (kind == Kinds().end()) return head;
  head.MimeType = kind->second.mimeType;
  // A TIFF file says its own byte order: "MM" is big-endian.
  const bool bigEndian = kind->first == ".tif" ? bytes[0] == 'M' : kind->second.bigEndian;
  kind->second.size(THeadBytes(bytes, bigEndian), head);
  if (head.Width <= 0 || head.Height <= 0) head.Width = head.Height = 0;
  return head;
}

std::string DescribeImageHead(const TImageHead& head) {
  if (head.Width == 0) return head.MimeType;
  return head.MimeType + " " + std::to_string(head.Width) + "x" + std::to_string(head.Height);
}
