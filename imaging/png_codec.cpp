#include "imaging/png_codec.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "imaging/data_bound.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kEndsEarly = "PNG file ends early";
constexpr const char* kOutOfMemory = "Out of memory";
constexpr const char* kImageTooLarge = "PNG image is too large (%u x %u)";
constexpr const char* kEmptyImage = "Cannot save an empty image as PNG";
constexpr int kSampleBits = 8;
constexpr int kRgbBytes = 3;
constexpr int kRgbaBytes = 4;
constexpr int kOpaque = 255;
constexpr size_t kMessageSize = 256;
// What libpng may allocate for one chunk, or keep of ancillary chunks: a chunk is never
// larger than the file that holds it, and the floor leaves room for decompressed text
// and profiles. Without these a chunk claiming gigabytes is allocated before it is read.
constexpr size_t kChunkMemoryFloor = size_t{8} << 20;
constexpr png_uint_32 kMaxCachedChunks = 1000;
// libpng's own default limit of a side.
constexpr png_uint_32 kMaxSide = 1000000;

// libpng's last error text. Plain data: the handler that fills it leaves by longjmp.
struct TPngFailure {
  char message[kMessageSize] = "";
};

[[noreturn]] void StoreErrorAndJump(png_structp png, png_const_charp message) {
  auto* failure = static_cast<TPngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->message, sizeof failure->message, "%s", message);
  png_longjmp(png, 1);
}

// A downloaded chart with an odd ancillary chunk is still a good chart.
void IgnoreWarning(png_structp, png_const_charp) {}

[[noreturn]] void Raise(const TPngFailure& failure) {
  throw EInvalidGraphic(failure.message);
}

// Rows of an image in memory: row y starts at top + y * stride (negative for bottom-up).
struct TPngRows {
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;
  uint32_t width = 0;
  uint32_t height = 0;

  uint8_t* Row(uint32_t y) const { return top + ptrdiff_t{y} * stride; }
};

TPngRows RowsOf(TDib& dib) {
  return {dib.Row(0), -static_cast<ptrdiff_t>(dib.RowSize()), static_cast<uint32_t>(dib.Width),
          static_cast<uint32_t>(dib.Height)};
}

// --- reading

struct TPngSource {
  const uint8_t* next = nullptr;
  size_t left = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* source = static_cast<TPngSource*>(png_get_io_ptr(png));
  if (count > source->left) png_error(png, kEndsEarly);
  std::memcpy(out, source->next, count);
  source->next += count;
  source->left -= count;
}

class TPngReadStruct {
 public:
  explicit TPngReadStruct(TPngFailure& failure)
      : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, StoreErrorAndJump,
                                    IgnoreWarning)),
        info_(png_ ? png_create_info_struct(png_) : nullptr) {
    if (!info_) {
      png_destroy_read_struct(&png_, nullptr, nullptr);
      throw EInvalidGraphic(kOutOfMemory);
    }
  }
  ~TPngReadStruct() { png_destroy_read_struct(&png_, &info_, nullptr); }
  TPngReadStruct(const TPngReadStruct&) = delete;
  TPngReadStruct& operator=(const TPngReadStruct&) = delete;

  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct TPngLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  int fileBitsPerPixel = 0;  // as stored, before the transformations
  bool alpha = false;
  int passes = 1;
};

// The two functions that set a jump point hold nothing with a destructor, so that
// libpng's longjmp skips no clean-up. Each answers false when libpng failed.
bool ReadLayout(png_structp png, png_infop info, TPngLayout* layout) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  layout->fileBitsPerPixel = png_get_bit_depth(png, info) * png_get_channels(png, info);
  png_set_expand(png);  // palette and low-depth grey to 8 bits, tRNS to an alpha channel
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);  // the dib's byte order
  layout->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  layout->width = png_get_image_width(png, info);
  layout->height = png_get_image_height(png, info);
  layout->alpha = png_get_channels(png, info) == kRgbaBytes;
  return true;
}

// Counts in RowsTouched how many rows from the top libpng may have written into, so that
// the rows of a file cut short that it never reached are left alone.
bool ReadPixels(png_structp png, const TPngRows* rows, int passes, uint32_t* rowsTouched) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Each pass of an interlaced image fills in more pixels of the same rows.
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < rows->height; ++y) {
      *rowsTouched = std::max(*rowsTouched, y + 1);
      png_read_row(png, rows->Row(y), nullptr);
    }
  return true;
}

uint8_t OverWhite(uint8_t sample, uint8_t alpha) {
  return static_cast<uint8_t>((sample * alpha + kOpaque * (kOpaque - alpha) + kOpaque / 2) /
                              kOpaque);
}

// The rows given; the others stay as they are, white.
void CompositeOverWhite(const std::vector<uint8_t>& bgra, uint32_t rows, TDib& dib) {
  const uint8_t* in = bgra.data();
  for (int y = 0; y < static_cast<int>(rows); ++y) {
    uint8_t* out = dib.Row(y);
    for (int x = 0; x < dib.Width; ++x, in += kRgbaBytes, out += kRgbBytes)
      for (int c = 0; c < kRgbBytes; ++c) out[c] = OverWhite(in[c], in[kRgbBytes]);
  }
}

constexpr size_t kSignatureSize = 8;
constexpr size_t kChunkFrame = 12;  // length, name, and the CRC after the data
constexpr uint32_t kIDAT = 0x49444154;
// Deflate's longest match, 258 bytes, costs at least two bits.
constexpr double kDeflateRatio = 1032;

// Calls visit(name, length, bytes present) for each chunk until it answers false.
template <class Visit>
void WalkChunks(const std::vector<uint8_t>& bytes, Visit visit) {
  for (size_t at = kSignatureSize; bytes.size() >= at && bytes.size() - at >= kChunkFrame;) {
    const uint32_t length = png_get_uint_32(bytes.data() + at);
    const size_t present = std::min<size_t>(length, bytes.size() - at - kChunkFrame);
    if (!visit(png_get_uint_32(bytes.data() + at + 4), length, present)) return;
    if (present < length) return;
    at += kChunkFrame + length;
  }
}

// libpng allocates a chunk before the pixel data whole, at the size it claims, before it
// reads it: such a chunk that claims more than the file holds fails at once. The pixel
// data itself is read piece by piece, so a file cut inside it keeps its decoded rows.
bool ChunksBeforePixelsFit(const std::vector<uint8_t>& bytes) {
  bool fit = true;
  WalkChunks(bytes, [&](uint32_t name, uint32_t length, size_t present) {
    fit = name == kIDAT || present == length;
    return name != kIDAT && fit;
  });
  return fit;
}

// How many pixels the compressed pixel data present can make at most.
int64_t PixelsTheDataCanMake(const std::vector<uint8_t>& bytes, int fileBitsPerPixel) {
  int64_t compressed = 0;
  WalkChunks(bytes, [&](uint32_t name, uint32_t, size_t present) {
    if (name == kIDAT) compressed += static_cast<int64_t>(present);
    return true;
  });
  return PixelsOfData(compressed, kDeflateRatio * 8 / std::max(1, fileBitsPerPixel));
}

// --- writing

void WriteToMemory(png_structp png, png_bytep data, size_t count) {
  auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    bytes->insert(bytes->end(), data, data + count);
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  // Outside the handler: a longjmp must not leave a catch block.
  if (failed) png_error(png, kOutOfMemory);
}

void FlushNothing(png_structp) {}

class TPngWriteStruct {
 public:
  explicit TPngWriteStruct(TPngFailure& failure)
      : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, StoreErrorAndJump,
                                     IgnoreWarning)),
        info_(png_ ? png_create_info_struct(png_) : nullptr) {
    if (!info_) {
      png_destroy_write_struct(&png_, nullptr);
      throw EInvalidGraphic(kOutOfMemory);
    }
  }
  ~TPngWriteStruct() { png_destroy_write_struct(&png_, &info_); }
  TPngWriteStruct(const TPngWriteStruct&) = delete;
  TPngWriteStruct& operator=(const TPngWriteStruct&) = delete;

  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

bool WritePixels(png_structp png, png_infop info, const TPngRows* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, rows->width, rows->height, kSampleBits, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (uint32_t y = 0; y < rows->height; ++y) png_write_row(png, rows->Row(y));
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

TDib DecodePNG(const std::vector<uint8_t>& Bytes, bool* EndsEarly) {
  if (Bytes.size() >= 8 && !ChunksBeforePixelsFit(Bytes)) throw EInvalidGraphic(kEndsEarly);
  TPngFailure failure;
  const TPngReadStruct reader(failure);
  TPngSource source{Bytes.data(), Bytes.size()};
  png_set_read_fn(reader.Png(), &source, ReadFromMemory);
  png_set_chunk_malloc_max(reader.Png(), std::max(kChunkMemoryFloor, Bytes.size()));
  png_set_chunk_cache_max(reader.Png(), kMaxCachedChunks);
  png_set_user_limits(reader.Png(), kMaxSide, kMaxSide);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // A fuzzer's mutations would rarely get past the checksums to the pixel rows.
  png_set_crc_action(reader.Png(), PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_option(reader.Png(), PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  TPngLayout layout;
  if (!ReadLayout(reader.Png(), reader.Info(), &layout)) Raise(failure);
  if (int64_t{layout.width} * layout.height > ImagePixelLimit())
    throw EInvalidGraphic(Format(kImageTooLarge, layout.width, layout.height));
  if (!DataCanFill(layout.width, layout.height,
                   PixelsTheDataCanMake(Bytes, layout.fileBitsPerPixel)))
    throw EInvalidGraphic(TooLittleDataText(layout.width, layout.height));

  TDib dib = MakeDib(static_cast<int>(layout.width), static_cast<int>(layout.height), pf24bit, {});
  // Opaque images decode straight into the dib's rows; others go through a BGRA copy.
  std::vector<uint8_t> bgra;
  TPngRows rows = RowsOf(dib);
  if (layout.alpha) {
    bgra.resize(size_t{layout.width} * layout.height * kRgbaBytes);
    rows.top = bgra.data();
    rows.stride = ptrdiff_t{layout.width} * kRgbaBytes;
  }
  uint32_t rowsTouched = 0;
  if (!ReadPixels(reader.Png(), &rows, layout.passes, &rowsTouched)) {
    if (EndsEarly == nullptr || std::strcmp(failure.message, kEndsEarly) != 0) Raise(failure);
    *EndsEarly = true;
  }
  if (layout.alpha) CompositeOverWhite(bgra, rowsTouched, dib);
  return dib;
}

std::vector<uint8_t> EncodePNG(const TDib& Dib) {
  if (Dib.Empty()) throw EInvalidGraphic(kEmptyImage);
  TDib rgb = Dib.PixelFormat == pf24bit ? Dib : ConvertDib(Dib, pf24bit);
  TPngFailure failure;
  const TPngWriteStruct writer(failure);
  std::vector<uint8_t> bytes;
  png_set_write_fn(writer.Png(), &bytes, WriteToMemory, FlushNothing);
  const TPngRows rows = RowsOf(rgb);
  if (!WritePixels(writer.Png(), writer.Info(), &rows)) Raise(failure);
  return bytes;
}
