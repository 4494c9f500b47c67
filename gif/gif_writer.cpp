#include "gif/gif_writer.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/lzw_encoder.h"
#include "gif/rle_encoder.h"
#include "gif/stream_bytes.h"
#include "runtime/exceptions.h"

namespace {

constexpr char kSignature[] = "GIF";
constexpr int kSignatureSize = 3;
constexpr int kVersionSize = 3;
constexpr uint8_t kSizeFieldMask = 0x07;
constexpr int kColorResolutionShift = 4;
constexpr int kBytesPerColor = 3;
// Kept from a frame's packed byte when it has no local table: interlace and the reserved
// bits.
constexpr uint8_t kKeptWithoutLocalTable = 0x58;

TGIFVersion FileVersion(TGIFImage& image) {
  TGIFVersion version = gvUnknown;
  for (int i = 0; i < image.Images().Count() && version != gv89a; ++i) {
    version = std::max(version, image.Images()[i].Version());
  }
  if (version == gvUnknown) throw GIFException(kGIFUnsupportedVersion);
  return version;
}

// The largest bits per pixel of the global table and of every frame's local table.
int LargestBitsPerPixel(TGIFImage& image) {
  int bits = image.GlobalColorMap().BitsPerPixel();
  for (int i = 0; i < image.Images().Count(); ++i) {
    bits = std::max(bits, image.Images()[i].ColorMap().BitsPerPixel());
  }
  return bits;
}

uint8_t ScreenPackedByte(TGIFImage& image) {
  const TGIFColorMap& global = image.GlobalColorMap();
  const uint8_t field = static_cast<uint8_t>((LargestBitsPerPixel(image) - 1) & kSizeFieldMask);
  uint8_t packed = static_cast<uint8_t>(field | field << kColorResolutionShift);
  if (global.Count() > 0) packed |= TGIFHeader::kGlobalColorTableFlag;
  if (global.Sorted()) packed |= TGIFHeader::kSortedFlag;
  return packed;
}

// The screen's size field is that of the largest table, and readers take as many entries
// as it says: a smaller global table is padded with black to that size.
void WriteGlobalTable(TGIFImage& image, TStream& stream) {
  const TGIFColorMap& global = image.GlobalColorMap();
  global.SaveToStream(stream);
  const int missing = (1 << LargestBitsPerPixel(image)) - (1 << global.BitsPerPixel());
  const std::vector<uint8_t> black(static_cast<size_t>(missing) * kBytesPerColor, 0);
  stream.WriteBuffer(black.data(), static_cast<int64_t>(black.size()));
}

void WriteHeader(TGIFImage& image, TStream& stream, TGIFVersion version) {
  stream.WriteBuffer(kSignature, kSignatureSize);
  stream.WriteBuffer(version == gv89a ? "89a" : "87a", kVersionSize);
  TGIFHeader& header = image.Header();
  std::array<uint8_t, TGIFHeader::kDescriptorSize> descriptor = header.Descriptor();
  descriptor[4] = ScreenPackedByte(image);
  stream.WriteBuffer(descriptor.data(), descriptor.size());
  if (image.GlobalColorMap().Count() > 0) WriteGlobalTable(image, stream);
}

uint8_t FramePackedByte(TGIFSubImage& frame) {
  TGIFColorMap& local = frame.ColorMap();
  if (local.Count() == 0) return frame.PackedFields() & kKeptWithoutLocalTable;
  uint8_t packed = TGIFSubImage::kLocalColorTableFlag;
  if (local.Sorted()) packed |= TGIFSubImage::kSortedFlag;
  return static_cast<uint8_t>(packed | (local.BitsPerPixel() - 1));
}

std::unique_ptr<TGIFEncoder> MakeEncoder(TGIFCompression compression) {
  if (compression == gcRLE) return std::make_unique<TRLEEncoder>();
  return std::make_unique<TLZWEncoder>();
}

void WriteFrame(TGIFImage& image, TGIFSubImage& frame, TStream& stream) {
  frame.Extensions().SaveToStream(stream);
  if (frame.Empty()) return;
  std::array<uint8_t, TGIFSubImage::kDescriptorSize> descriptor = frame.Descriptor();
  // The reader takes a descriptor from a stray byte too; it is written as it should be.
  descriptor[0] = kGIFImageSeparator;
  descriptor[9] = FramePackedByte(frame);
  stream.WriteBuffer(descriptor.data(), descriptor.size());

  TGIFColorMap& local = frame.ColorMap();
  int bitsPerPixel = local.BitsPerPixel();
  int colorCount = local.Count();
  if (colorCount > 0) {
    local.SaveToStream(stream);
  } else {
    bitsPerPixel = LargestBitsPerPixel(image);
    colorCount = 1 << bitsPerPixel;
  }
  const bool interlaced = (descriptor[9] & TGIFSubImage::kInterlacedFlag) != 0;
  MakeEncoder(image.Compression())
      ->Encode(stream, bitsPerPixel, colorCount, frame.Data(), interlaced, frame.Height(),
               frame.Width());
}

}  // namespace

void WriteGIF(TGIFImage& image, TStream& stream) {
  const TGIFVersion version = FileVersion(image);
  WriteHeader(image, stream, version);
  for (int i = 0; i < image.Images().Count(); ++i) WriteFrame(image, image.Images()[i], stream);
  WriteByte(stream, kGIFTrailerByte);
}
