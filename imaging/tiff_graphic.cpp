#include "imaging/tiff_graphic.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "imaging/data_bound.h"
#include "imaging/negative_transform.h"
#include "imaging/tiff_data_bound.h"
#include "imaging/tiff_file.h"
#include "imaging/tiff_orientation.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kCompressionNames[] = {
    "None", "Packbits", "CCITT Group 3, 1D", "CCITT Group 3, 2D", "CCITT Group 4", "ZLib", "JPEG"};
constexpr const char* kBitsNotSpecified = "Bits per sample not specified";
constexpr const char* kNoPixels = "Image has no pixels";
constexpr const char* kCompressionNotSupported = "%s compression not supported with %s images";
constexpr const char* kSetDirectoryItem = "TIFFSetDirectory";
constexpr const char* kColorMapItem = "ColorMap";
constexpr const char* kReadScanlineItem = "TIFFReadScanline";
constexpr const char* kReadRgbaItem = "TIFFReadRGBAImage";
constexpr const char* kTiffEndsEarly = "TIFF data ends early";

// The code that older writers used for deflate; current ones write COMPRESSION_ADOBE_DEFLATE.
constexpr uint16_t kOldDeflate = COMPRESSION_DEFLATE;
// Bit 0 of the group 3 options: two-dimensional coding.
constexpr uint32_t kGroup3TwoDimensional = GROUP3OPT_2DENCODING;
constexpr double kCentimetresPerInch = 2.54;
constexpr uint16_t kLargestEightBitColour = 255;
constexpr int kMaxResolution = UINT16_MAX;
// libtiff's RGBA reader writes its reasons into a buffer of this size.
constexpr size_t kRgbaMessageSize = 1024;

// How the pixels of a page come out of libtiff.
enum TReadMethod {
  rmSixteenBit,  // scanlines, the high byte of each pixel's first sample
  rmFax,         // scanlines copied into the rows as they are
  rmRgba,        // libtiff's RGBA reader, which also converts the colours
  rmDirect,      // scanlines, rows copied (or their colours stored)
};

// What a page's directory says about its pixels.
struct TPageLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t planarConfig = PLANARCONFIG_CONTIG;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  bool tiled = false;
  bool fax = false;
  int64_t scanlineSize = 0;
  int64_t bytesPerPixel = 1;
};

template <class T>
T FieldDefaulted(TIFF* tiff, uint32_t tag) {
  T value{};
  TIFFGetFieldDefaulted(tiff, tag, &value);
  return value;
}

bool IsFaxCoding(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

TPageLayout ReadLayout(TIFF* tiff) {
  TPageLayout layout;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout.height);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric))
    layout.photometric = PHOTOMETRIC_MINISWHITE;
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &layout.compression);
  layout.fax = IsFaxCoding(layout.compression);
  if (!TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample)) {
    if (!layout.fax) RaiseTiffError(kBitsNotSpecified);
    layout.bitsPerSample = 1;
  }
  layout.samplesPerPixel = FieldDefaulted<uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL);
  layout.planarConfig = FieldDefaulted<uint16_t>(tiff, TIFFTAG_PLANARCONFIG);
  layout.orientation = FieldDefaulted<uint16_t>(tiff, TIFFTAG_ORIENTATION);
  layout.tiled = TIFFIsTiled(tiff) != 0;
  layout.scanlineSize = TIFFScanlineSize64(tiff);
  return layout;
}

// Dots per inch from a resolution tag: centimetres are converted, halves round to even.
int DotsPerInch(TIFF* tiff, uint32_t tag, uint16_t unit) {
  float value = 0;
  if (!TIFFGetField(tiff, tag, &value)) return 0;
  const double perInch = unit == RESUNIT_CENTIMETER ? value * kCentimetresPerInch : value;
  if (!(perInch > 0)) return 0;
  if (perInch >= kMaxResolution) return kMaxResolution;
  return static_cast<int>(std::nearbyint(perInch));
}

bool IsBitsTimesBytesDirect(int64_t product) {
  return product == 1 || product == 4 || product == 8 || product == 24;
}

// Grey levels, indices and red-green-blue samples can be stored as they are; every other
// colour space (CMYK, YCbCr, CIELab, ...) is converted by libtiff's RGBA reader.
bool IsStoredAsShown(const TPageLayout& layout) {
  switch (layout.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
    case PHOTOMETRIC_RGB:
      return true;
    default:
      return false;
  }
}

TReadMethod ChooseReadMethod(const TPageLayout& layout) {
  const int bits = layout.bitsPerSample;
  // Both factors come from the file: a scanline can be far wider than any real pixel.
  const int64_t pixelBits = bits * layout.bytesPerPixel;
  const bool grey =
      layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK;
  // libtiff reads scanlines of strip images only; tiles go through the RGBA reader.
  if (!layout.tiled &&
      ((bits == 16 && grey) || (layout.photometric == PHOTOMETRIC_PALETTE && pixelBits == 16)))
    return rmSixteenBit;
  if (layout.fax && !layout.tiled) return rmFax;
  if (layout.compression == COMPRESSION_JPEG || layout.tiled || !IsStoredAsShown(layout) ||
      bits > 8 || layout.planarConfig > PLANARCONFIG_CONTIG || !IsBitsTimesBytesDirect(pixelBits))
    return rmRgba;
  return rmDirect;
}

TImageFormat ImageFormatOfLayout(const TPageLayout& layout) {
  const int bits = layout.bitsPerSample;
  switch (layout.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      if (bits == 1) return ifBlackWhite;
      if (bits == 4) return ifGray16;
      if (bits == 8 || bits == 16) return ifGray256;
      return ifTrueColor;
    case PHOTOMETRIC_PALETTE:
      if (bits >= 1 && bits <= 4) return ifColor16;
      if (bits >= 5 && bits <= 8) return ifColor256;
      return ifTrueColor;
    default:
      return ifTrueColor;
  }
}

// Colour maps hold 16-bit values; some writers put 8-bit ones there instead.
TPalette ReadColorMap(TIFF* tiff, int bits) {
  uint16_t* red = nullptr;
  uint16_t* green = nullptr;
  uint16_t* blue = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) RaiseTiffError(kColorMapItem);
  const size_t entries = size_t{1} << bits;
  bool eightBit = true;
  for (size_t i = 0; i < entries; ++i)
    eightBit = eightBit && red[i] <= kLargestEightBitColour && green[i] <= kLargestEightBitColour &&
               blue[i] <= kLargestEightBitColour;
  auto scaled = [eightBit](uint16_t value) {
    return static_cast<uint8_t>(eightBit ? value : (value * 255 + UINT16_MAX / 2) / UINT16_MAX);
  };
  TPalette palette;
  for (size_t i = 0; i < entries; ++i)
    palette.push_back({scaled(red[i]), scaled(green[i]), scaled(blue[i])});
  return palette;
}

// None for the compressions an image cannot be written with (LZW, old-style JPEG, ...):
// libtiff's RGBA reader decodes whatever it can of those.
std::optional<TTiffCompression> CompressionOfTag(TIFF* tiff, uint16_t tag) {
  switch (tag) {
    case COMPRESSION_NONE:
      return tcNone;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
      return tcCcittGroup3_1D;
    case COMPRESSION_CCITTFAX3: {
      uint32_t options = 0;
      TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &options);
      return (options & kGroup3TwoDimensional) ? tcCcittGroup3_2D : tcCcittGroup3_1D;
    }
    case COMPRESSION_CCITTFAX4:
      return tcCcittGroup4;
    case COMPRESSION_JPEG:
      return tcJPEG;
    case COMPRESSION_PACKBITS:
      return tcPackbits;
    case kOldDeflate:
    case COMPRESSION_ADOBE_DEFLATE:
      return tcZLib;
    default:
      return std::nullopt;
  }
}

// What an image read with a compression it cannot be written with is written back with:
// what a new image gets.
TTiffCompression WritableCompression(TImageFormat format) {
  return format == ifBlackWhite ? tcCcittGroup4 : tcPackbits;
}

std::optional<uint32_t> RowsPerStripOf(TIFF* tiff, uint32_t height) {
  uint32_t rows = 0;
  if (!TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rows)) return std::nullopt;
  return rows == UINT32_MAX ? height : rows;
}

TTiffTextTags ReadTextTags(TIFF* tiff) {
  static const std::pair<uint32_t, std::string TTiffTextTags::*> kTags[] = {
      {TIFFTAG_DOCUMENTNAME, &TTiffTextTags::DocumentName},
      {TIFFTAG_IMAGEDESCRIPTION, &TTiffTextTags::ImageDescription},
      {TIFFTAG_MAKE, &TTiffTextTags::Make},
      {TIFFTAG_MODEL, &TTiffTextTags::Model},
      {TIFFTAG_PAGENAME, &TTiffTextTags::PageName},
      {TIFFTAG_SOFTWARE, &TTiffTextTags::Software},
      {TIFFTAG_DATETIME, &TTiffTextTags::DateTime},
      {TIFFTAG_ARTIST, &TTiffTextTags::Artist},
      {TIFFTAG_HOSTCOMPUTER, &TTiffTextTags::HostComputer},
  };
  TTiffTextTags tags;
  for (const auto& [tag, member] : kTags) {
    const char* text = nullptr;
    if (TIFFGetField(tiff, tag, &text) && text) tags.*member = text;
  }
  return tags;
}

// Reports progress only when the percentage changes.
class TProgressSteps {
 public:
  TProgressSteps(TDibGraphic& graphic, int64_t total) : graphic_(graphic), total_(total) {}
  void Done(int64_t done) {
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent != last_) graphic_.ReportProgress(psRunning, percent);
    last_ = percent;
  }

 private:
  TDibGraphic& graphic_;
  int64_t total_;
  int last_ = -1;
};

// libtiff's RGBA reader with its put routine wrapped, to count the pixels it stored
// before a strip or tile failed. libtiff hands the routine the address of Image, the first
// member, which is the address of the whole.
struct TCountingRgbaReader {
  TIFFRGBAImage image{};
  tileContigRoutine contig = nullptr;
  tileSeparateRoutine separate = nullptr;
  uint64_t pixelsPut = 0;

  static TCountingRgbaReader& Of(TIFFRGBAImage* image) {
    return *reinterpret_cast<TCountingRgbaReader*>(image);
  }
  static void PutContig(TIFFRGBAImage* image, uint32_t* to, uint32_t x, uint32_t y, uint32_t w,
                        uint32_t h, int32_t fromSkew, int32_t toSkew, unsigned char* from) {
    Of(image).pixelsPut += uint64_t{w} * h;
    Of(image).contig(image, to, x, y, w, h, fromSkew, toSkew, from);
  }
  static void PutSeparate(TIFFRGBAImage* image, uint32_t* to, uint32_t x, uint32_t y, uint32_t w,
                          uint32_t h, int32_t fromSkew, int32_t toSkew, unsigned char* r,
                          unsigned char* g, unsigned char* b, unsigned char* a) {
    Of(image).pixelsPut += uint64_t{w} * h;
    Of(image).separate(image, to, x, y, w, h, fromSkew, toSkew, r, g, b, a);
  }
  void Wrap() {
    if (image.isContig) {
      contig = image.put.contig;
      image.put.contig = PutContig;
    } else {
      separate = image.put.separate;
      image.put.separate = PutSeparate;
    }
  }
};
static_assert(std::is_standard_layout_v<TCountingRgbaReader>);

// A pixel of libtiff's RGBA reader as it shows on white, as PNG and GIF transparency
// does. The reader hands colours premultiplied by their alpha, except for grey with
// alpha, whose levels it leaves as stored.
class TOverWhite {
 public:
  explicit TOverWhite(const TIFFRGBAImage& image)
      : premultiplied_(image.photometric != PHOTOMETRIC_MINISBLACK &&
                       image.photometric != PHOTOMETRIC_MINISWHITE) {}

  TRGBColor Color(uint32_t pixel) const {
    const uint32_t alpha = TIFFGetA(pixel);
    if (alpha == kOpaque)
      return {static_cast<uint8_t>(TIFFGetR(pixel)), static_cast<uint8_t>(TIFFGetG(pixel)),
              static_cast<uint8_t>(TIFFGetB(pixel))};
    return {Level(TIFFGetR(pixel), alpha), Level(TIFFGetG(pixel), alpha),
            Level(TIFFGetB(pixel), alpha)};
  }

 private:
  static constexpr uint32_t kOpaque = 255;

  uint8_t Level(uint32_t sample, uint32_t alpha) const {
    const uint32_t shown = premultiplied_ ? sample : (sample * alpha + kOpaque / 2) / kOpaque;
    return static_cast<uint8_t>(std::min(kOpaque, shown + kOpaque - alpha));
  }

  bool premultiplied_;
};

// Copies the decoded pixels of one page into the allocated image. A page whose data fails
// after its first row (or strip, for the RGBA reader) keeps what was read, the rest zero;
// a failure before that is an error: the picture is never all black.
class TPixelReader {
 public:
  TPixelReader(TIFF* tiff, const TPageLayout& layout, TDibGraphic& image)
      : tiff_(tiff), layout_(layout), image_(image), dib_(image.Dib()), writer_(image.Dib()) {}

  // Answers false when only part of the page could be read.
  bool Read(TReadMethod method) {
    switch (method) {
      case rmSixteenBit:
        return ReadScanlines([this](const uint8_t* line, int y) { StoreHighBytes(line, y); });
      case rmFax:
        return ReadScanlines([this](const uint8_t* line, int y) { CopyRow(line, y); });
      case rmRgba:
        return ReadRgba();
      case rmDirect:
        return ReadScanlines([this](const uint8_t* line, int y) { StoreDirectRow(line, y); });
    }
    return true;
  }

 private:
  template <class StoreLine>
  bool ReadScanlines(StoreLine store) {
    std::vector<uint8_t> line(static_cast<size_t>(layout_.scanlineSize));
    TProgressSteps progress(image_, layout_.height);
    for (uint32_t y = 0; y < layout_.height; ++y) {
      if (TIFFReadScanline(tiff_, line.data(), y, 0) < 0) {
        if (y == 0) RaiseTiffLibraryError(kReadScanlineItem);
        return false;
      }
      store(line.data(), static_cast<int>(y));
      progress.Done(y + 1);
    }
    return true;
  }

  // The rows in stored order (the page is turned upright afterwards, as for the other
  // methods).
  bool ReadRgba() {
    const size_t pixels = size_t{layout_.width} * layout_.height;
    std::vector<uint32_t> raster(pixels);
    char reason[kRgbaMessageSize] = "";
    TCountingRgbaReader reader;
    if (!TIFFRGBAImageOK(tiff_, reason) || !TIFFRGBAImageBegin(&reader.image, tiff_, 1, reason)) {
      NoteTiffLibraryError(reason);
      RaiseTiffLibraryError(kReadRgbaItem);
    }
    reader.image.req_orientation = layout_.orientation;
    reader.Wrap();
    const TOverWhite overWhite(reader.image);
    const int read = TIFFRGBAImageGet(&reader.image, raster.data(), layout_.width, layout_.height);
    TIFFRGBAImageEnd(&reader.image);
    if (!read && reader.pixelsPut == 0) RaiseTiffLibraryError(kReadRgbaItem);
    for (uint32_t r = 0; r < layout_.height; ++r) {
      uint8_t* row = image_.ScanLine(static_cast<int>(r));
      const uint32_t* from = raster.data() + size_t{r} * layout_.width;
      for (uint32_t x = 0; x < layout_.width; ++x)
        writer_.Write(row, static_cast<int>(x), overWhite.Color(from[x]));
    }
    image_.ReportProgress(psRunning, 100);
    return read != 0;
  }

  void CopyRow(const uint8_t* line, int y) {
    const auto bytes =
        static_cast<size_t>(std::min<int64_t>(layout_.scanlineSize, image_.RowSize()));
    std::memcpy(image_.ScanLine(y), line, bytes);
  }

  void StoreHighBytes(const uint8_t* line, int y) {
    const int sampleBytes = layout_.bitsPerSample / 8;
    // A sample narrower than a byte (a 4-bit palette of 16-bit pixels) is read whole.
    const int bytesRead = std::max(1, sampleBytes);
    uint8_t* row = image_.ScanLine(y);
    for (uint32_t x = 0; x < layout_.width; ++x) {
      const int64_t offset = int64_t{x} * layout_.bytesPerPixel;
      if (offset + bytesRead > layout_.scanlineSize) break;
      uint8_t value = line[offset];
      if (sampleBytes == 2) {
        uint16_t sample;
        std::memcpy(&sample, line + offset, sizeof sample);
        value = static_cast<uint8_t>(sample >> 8);
      }
      dib_.SetIndexOfRow(row, static_cast<int>(x), value);
    }
  }

  void StoreDirectRow(const uint8_t* line, int y) {
    const int64_t pixelBits = int64_t{layout_.bitsPerSample} * layout_.samplesPerPixel;
    uint8_t* row = image_.ScanLine(y);
    if (layout_.bitsPerSample == 8 && (layout_.bytesPerPixel == 3 || layout_.bytesPerPixel == 4)) {
      // Red, green, blue (and maybe more) in the file; the image keeps blue first.
      for (uint32_t x = 0; x < layout_.width; ++x) {
        const int64_t offset = int64_t{x} * layout_.bytesPerPixel;
        if (offset + 3 > layout_.scanlineSize) break;
        writer_.Write(row, static_cast<int>(x), {line[offset], line[offset + 1], line[offset + 2]});
      }
      return;
    }
    if (pixelBits == BitsPerPixel(dib_.PixelFormat)) return CopyRow(line, y);
    // Samples narrower or wider than the image's pixels (a 1-bit palette in a 16-colour
    // image): the first sample of each pixel is its index.
    const int bits = layout_.bitsPerSample;
    for (uint32_t x = 0; x < layout_.width; ++x) {
      const int64_t bit = int64_t{x} * pixelBits;
      if (bit + bits > layout_.scanlineSize * 8) break;
      const uint32_t pair =
          line[bit / 8] << 8 | (bit / 8 + 1 < layout_.scanlineSize ? line[bit / 8 + 1] : 0);
      const uint32_t value = (pair >> (16 - bits - bit % 8)) & ((1u << bits) - 1);
      dib_.SetIndexOfRow(row, static_cast<int>(x), value);
    }
  }

  TIFF* tiff_;
  const TPageLayout& layout_;
  TDibGraphic& image_;
  const TDib& dib_;
  TPixelWriter writer_;
};

}  // namespace

const char* TiffCompressionName(TTiffCompression Compression) {
  return Compression >= tcNone && Compression <= tcJPEG ? kCompressionNames[Compression] : "";
}

void RequireCompressionFitsFormat(TTiffCompression Compression, TImageFormat Format) {
  if (!CompressionFitsFormat(Compression, Format))
    throw EImagingError(::Format(kCompressionNotSupported, TiffCompressionName(Compression),
                                 ImageFormatName(Format)));
}

bool CompressionFitsFormat(TTiffCompression Compression, TImageFormat Format) {
  switch (Format) {
    case ifBlackWhite:
      return Compression != tcJPEG;
    case ifGray256:
    case ifTrueColor:
      return Compression == tcNone || Compression == tcPackbits || Compression == tcZLib ||
             Compression == tcJPEG;
    default:
      return Compression == tcNone || Compression == tcPackbits || Compression == tcZLib;
  }
}

TGraphicClass TTiffGraphic::StaticClass() {
  return TGraphicClass::Define<TTiffGraphic, TDibGraphic>("TTiffGraphic");
}

int TTiffGraphic::CountPages(TStream& Stream) {
  const TTiffFile file(Stream, TTiffFile::tmRead);
  int count = 1;
  while (TIFFReadDirectory(file.Handle())) ++count;
  return count;
}

void TTiffGraphic::ReadPage(TStream& Stream, int Number) {
  const TTiffFile file(Stream, TTiffFile::tmRead);
  TIFF* tiff = file.Handle();
  if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(Number - 1))) RaiseTiffError(kSetDirectoryItem);
  TPageLayout layout = ReadLayout(tiff);
  if (layout.width == 0 || layout.height == 0) RaiseTiffError(kNoPixels);
  CheckSize(layout.width, layout.height);
  if (!TakePixelsWithoutData(layout.width, layout.height,
                             TiffPixelsTheDataCanMake(tiff, file.Size())))
    RaiseTiffError(TooLittleDataText(layout.width, layout.height));
  layout.bytesPerPixel =
      std::max<int64_t>(1, std::llrint(static_cast<double>(layout.scanlineSize) / layout.width));
  const std::optional<TTiffCompression> compression = CompressionOfTag(tiff, layout.compression);
  const TReadMethod method = compression ? ChooseReadMethod(layout) : rmRgba;
  const TImageFormat format = ImageFormatOfLayout(layout);
  if (compression) RequireCompressionFitsFormat(*compression, format);
  const TPalette palette = format == ifColor16 || format == ifColor256
                               ? ReadColorMap(tiff, layout.bitsPerSample)
                               : TPalette{};
  const auto unit = FieldDefaulted<uint16_t>(tiff, TIFFTAG_RESOLUTIONUNIT);
  Allocate(static_cast<int>(layout.width), static_cast<int>(layout.height),
           DotsPerInch(tiff, TIFFTAG_XRESOLUTION, unit),
           DotsPerInch(tiff, TIFFTAG_YRESOLUTION, unit), palette, format);
  textTags_ = ReadTextTags(tiff);
  compression_ = compression.value_or(WritableCompression(format));
  rowsPerStrip_ = RowsPerStripOf(tiff, layout.height);
  if (!TPixelReader(tiff, layout, *this).Read(method)) MarkTruncated(kTiffEndsEarly);
  // Raw samples of white-is-zero images are the negative of what is shown; the RGBA
  // reader has already converted them.
  const bool grey = format == ifBlackWhite || format == ifGray16 || format == ifGray256;
  if (grey && method != rmRgba && layout.photometric == PHOTOMETRIC_MINISWHITE)
    TNegativeTransform().Apply(*this);
  if (layout.orientation != ORIENTATION_TOPLEFT) SetDib(UprightDib(Dib(), layout.orientation));
}

void TTiffGraphic::Assign(const TGraphic& Source) {
  TDibGraphic::Assign(Source);
  if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&Source)) {
    compression_ = tiff->compression_;
    rowsPerStrip_ = tiff->rowsPerStrip_;
    textTags_ = tiff->textTags_;
  } else {
    // What a new image is written with.
    compression_ = ImageFormat() == ifBlackWhite ? tcCcittGroup4 : tcPackbits;
    rowsPerStrip_.reset();
    textTags_ = {};
  }
}
