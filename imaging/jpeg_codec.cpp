#include "imaging/jpeg_codec.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/data_bound.h"
#include "imaging/jpeg_library.h"
#include "imaging/pixel_limit.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

// 20 of 256 entries stay free for the system colours of a palette display.
constexpr int kQuantizedColors = 236;
constexpr const char* kImageTooLarge = "JPEG image is too large (%u x %u)";
// The fewest bits an 8 x 8 block of one component costs. Huffman codes are at least one
// bit: a sequential scan spends one on the DC difference and one on the end of block; a
// progressive file at least one on the DC difference in its first scan (its AC scans may
// skip whole runs of blocks). The arithmetic coder's floor is far lower (1/2^15 bit for a
// likely decision, so 150 bytes could claim 2^28 pixels); real files of its rare kind spend
// far more than a 64th of a bit on a block, which is what it is held to.
constexpr double kSequentialBitsPerBlock = 2;
constexpr double kProgressiveBitsPerBlock = 1;
constexpr double kArithmeticBitsPerBlock = 1.0 / 64;
// Encoded files are seldom larger than a quarter of their 24-bit pixels.
constexpr size_t kBytesPerPixel = 3;
constexpr size_t kUsualCompression = 4;

void Notify(const TJPEGProgressEvent& event, TProgressStage stage, uint8_t percent,
            bool redraw = false, const TRect& rows = {}) {
  if (event) event(stage, percent, redraw, rows);
}

// How many pixels the bytes after the header can make at most: the share of all the
// picture's blocks that the bytes can code.
int64_t PixelsTheDataCanMake(jpeg_decompress_struct& info, size_t bytesLeft) {
  double blocks = 0;
  for (int c = 0; c < info.num_components; ++c)
    blocks +=
        static_cast<double>(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks;
  const double bitsPerBlock = info.arith_code         ? kArithmeticBitsPerBlock
                              : info.progressive_mode ? kProgressiveBitsPerBlock
                                                      : kSequentialBitsPerBlock;
  const double pixels = static_cast<double>(info.image_width) * info.image_height;
  return PixelsOfData(static_cast<int64_t>(bytesLeft),
                      blocks > 0 ? 8 / bitsPerBlock * pixels / blocks : 0);
}

// Reads the header up to the first scan and refuses a picture larger than the pixel
// limit or than the data after the header can make.
TJPEGHeader HeaderOf(TJpegDecompressor& decompressor) {
  jpeg_decompress_struct& info = decompressor.Info();
  jpeg_read_header(&info, TRUE);
  if (int64_t{info.image_width} * info.image_height > ImagePixelLimit())
    throw EJPEG(Format(kImageTooLarge, info.image_width, info.image_height));
  if (!DataCanFill(info.image_width, info.image_height,
                   PixelsTheDataCanMake(info, decompressor.BytesLeft())))
    throw EJPEG(TooLittleDataText(info.image_width, info.image_height));
  decompressor.ScanDataStarts();
  return {static_cast<int>(info.image_width), static_cast<int>(info.image_height),
          info.jpeg_color_space == JCS_GRAYSCALE, jpeg_has_multiple_scans(&info) != 0};
}

// The bitmap keeps its rows bottom-up, so the library fills them at falling addresses and
// each row starts where the processor has no stream of writes to follow. Asking for the
// start of the next row while this one is made gives it one: in the benchmark the chart's
// decode went from 1.031 to 1.018 times plain libjpeg's, which fills its rows from the top.
constexpr int64_t kAnnouncedRowBytes = 256;
constexpr int64_t kCacheLineBytes = 64;

void AnnounceRow(const uint8_t* row, int64_t rowSize) {
  const int64_t bytes = std::min(kAnnouncedRowBytes, rowSize);
  for (int64_t offset = 0; offset < bytes; offset += kCacheLineBytes)
    __builtin_prefetch(row + offset, 1);
}

// The library's choices for the final pass of a progressive display.
constexpr int kInkComponents = 4;
constexpr int kFullInk = 255;

bool IsInk(J_COLOR_SPACE space) {
  return space == JCS_CMYK || space == JCS_YCCK;
}

// Cyan, magenta, yellow and black samples to blue, green and red, as other viewers show
// them without a colour profile: each colour is what its ink and the black leave of white.
// Samples are taken as Adobe's writers store them, inverted (0 is full ink), whether or
// not the file has an Adobe marker: ImageMagick and Pillow read every CMYK file so.
class TInkConversion {
 public:
  void ToBlueGreenRed(const uint8_t* ink, uint8_t* out, JDIMENSION width) const {
    for (JDIMENSION x = 0; x < width; ++x, ink += kInkComponents, out += 3) {
      const int black = ink[3];
      out[0] = Mixed(ink[2], black);
      out[1] = Mixed(ink[1], black);
      out[2] = Mixed(ink[0], black);
    }
  }

 private:
  // Colour and black: how much of white each leaves.
  static uint8_t Mixed(int colour, int black) {
    return static_cast<uint8_t>((colour * black + kFullInk / 2) / kFullInk);
  }
};

struct TFinalPass {
  J_DCT_METHOD dctMethod;
  boolean twoPassQuantize;
  J_DITHER_MODE ditherMode;
};

class TDecoder {
 public:
  TDecoder(const std::vector<uint8_t>& bytes, const TJPEGDecodeSettings& settings, TBitmap& target,
           const TJPEGProgressEvent& onProgress)
      : decompressor_(bytes),
        info_(decompressor_.Info()),
        settings_(settings),
        target_(target),
        onProgress_(onProgress),
        progress_([this](uint8_t percent) { Report(percent); }) {}

  // The rows are decoded into a dib of our own and handed to the target at the end, or
  // when a progress handler asks to stop. Answers what is wrong with the picture.
  std::string Run() {
    try {
      Decode();
    } catch (const EAbort&) {
      target_.SetDib(std::move(dib_));
      throw;
    }
    target_.SetDib(std::move(dib_));
    return decompressor_.EndedEarly() ? kJPEGEndsEarly : decompressor_.Damage();
  }

 private:
  void Decode() {
    HeaderOf(decompressor_);
    Configure();
    Notify(onProgress_, psStarting, 0);
    UseGivenPalette();
    if (onProgress_) info_.progress = progress_.Manager();
    jpeg_start_decompress(&info_);
    AllocateRows();
    if (info_.buffered_image)
      ReadProgressively();
    else
      ReadRows();
    jpeg_finish_decompress(&info_);
  }

  // Every row is written by the library, so the rows start zeroed rather than white.
  void AllocateRows() {
    dib_.Width = static_cast<int>(info_.output_width);
    dib_.Height = static_cast<int>(info_.output_height);
    dib_.PixelFormat = info_.quantize_colors ? pf8bit : pf24bit;
    dib_.Bits.resize(static_cast<size_t>(dib_.RowSize() * dib_.Height));
  }

  void Configure() {
    info_.scale_num = 1;
    info_.scale_denom = 1u << settings_.Scale;
    info_.do_block_smoothing = settings_.Smoothing;
    // Ink (CMYK, YCCK) comes out as CMYK and is turned into the bitmap's colours row by
    // row, always at 24 bits: the library has no conversion to grey or RGB for it.
    // Anything else but grey comes out in the bitmap's byte order.
    if (IsInk(info_.jpeg_color_space)) {
      info_.out_color_space = JCS_CMYK;
      ink_.emplace();
    } else {
      info_.out_color_space = settings_.Grayscale || info_.out_color_space == JCS_GRAYSCALE
                                  ? JCS_GRAYSCALE
                                  : JCS_EXT_BGR;
    }
    if (!ink_ && (settings_.PixelFormat == jf8Bit || info_.out_color_space == JCS_GRAYSCALE)) {
      info_.quantize_colors = TRUE;
      info_.desired_number_of_colors = kQuantizedColors;
    }
    if (settings_.Performance == jpBestSpeed) {
      info_.dct_method = JDCT_IFAST;
      info_.two_pass_quantize = FALSE;
      info_.dither_mode = JDITHER_ORDERED;
    }
    finalPass_ = {info_.dct_method, info_.two_pass_quantize, info_.dither_mode};
    if (settings_.ProgressiveDisplay && jpeg_has_multiple_scans(&info_)) {
      info_.buffered_image = TRUE;
      info_.dct_method = JDCT_IFAST;
      info_.two_pass_quantize = FALSE;
      info_.dither_mode = JDITHER_ORDERED;
      info_.enable_2pass_quant = finalPass_.twoPassQuantize;
    }
  }

  // An 8-bit decode to a palette given beforehand uses exactly its colours. The library
  // takes a colour map only for three-component output, so not for grey.
  void UseGivenPalette() {
    if (settings_.Palette.empty() || !info_.quantize_colors || info_.out_color_space != JCS_EXT_BGR)
      return;
    const int count = static_cast<int>(std::min(settings_.Palette.size(), kMaxPaletteEntries));
    info_.colormap =
        info_.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info_), JPOOL_IMAGE, count, 3);
    for (int i = 0; i < count; ++i) {
      info_.colormap[0][i] = settings_.Palette[i].Blue;
      info_.colormap[1][i] = settings_.Palette[i].Green;
      info_.colormap[2][i] = settings_.Palette[i].Red;
    }
    info_.actual_number_of_colors = count;
    givenPalette_ = true;
  }

  void TakeColorMap() {
    if (!info_.quantize_colors || !info_.colormap) return;
    TPalette palette;
    const bool grey = info_.out_color_components == 1;
    for (int i = 0; i < info_.actual_number_of_colors; ++i) {
      const uint8_t first = info_.colormap[0][i];
      palette.push_back(grey ? TRGBColor{first, first, first}
                             : TRGBColor{info_.colormap[2][i], info_.colormap[1][i], first});
    }
    dib_.Palette = std::move(palette);
  }

  void ReadRows() {
    TakeColorMap();
    lastRow_ = 0;
    std::vector<uint8_t> inkRow(ink_ ? size_t{info_.output_width} * kInkComponents : 0);
    while (info_.output_scanline < info_.output_height) {
      const int y = static_cast<int>(info_.output_scanline);
      uint8_t* target = dib_.Row(y);
      if (y + 1 < dib_.Height) AnnounceRow(dib_.Row(y + 1), dib_.RowSize());
      JSAMPROW row = ink_ ? inkRow.data() : target;
      jpeg_read_scanlines(&info_, &row, 1);
      if (ink_) ink_->ToBlueGreenRed(inkRow.data(), target, info_.output_width);
    }
  }

  // Each scan is shown as it arrives, quickly; the last pass is made with the final
  // settings.
  void ReadProgressively() {
    bool finalPass = false;
    while (!finalPass) {
      finalPass = jpeg_input_complete(&info_);
      if (finalPass) {
        info_.dct_method = finalPass_.dctMethod;
        info_.dither_mode = finalPass_.ditherMode;
        if (info_.quantize_colors && !givenPalette_ && finalPass_.twoPassQuantize) {
          info_.two_pass_quantize = TRUE;
          info_.colormap = nullptr;
        }
      }
      jpeg_start_output(&info_, info_.input_scan_number);
      ReadRows();
      jpeg_finish_output(&info_);
      target_.SetDib(dib_);
      Notify(onProgress_, psRunning, lastPercent_, true, Rect(0, 0, dib_.Width, dib_.Height));
    }
  }

  void Report(uint8_t percent) {
    lastPercent_ = percent;
    TRect rows;
    if (info_.buffered_image) {
      const int row = static_cast<int>(info_.output_scanline);
      rows = Rect(0, lastRow_, static_cast<int>(info_.output_width), row);
      lastRow_ = row;
    }
    Notify(onProgress_, psRunning, percent, false, rows);
  }

  TJpegDecompressor decompressor_;
  jpeg_decompress_struct& info_;
  const TJPEGDecodeSettings& settings_;
  TBitmap& target_;
  TDib dib_;
  const TJPEGProgressEvent& onProgress_;
  TJpegProgress progress_;
  TFinalPass finalPass_{};
  std::optional<TInkConversion> ink_;
  bool givenPalette_ = false;
  int lastRow_ = 0;
  uint8_t lastPercent_ = 0;
};

class TEncoder {
 public:
  TEncoder(const TBitmap& source, const TJPEGEncodeSettings& settings,
           const TJPEGProgressEvent& onProgress)
      : compressor_(output_),
        info_(compressor_.Info()),
        source_(source),
        settings_(settings),
        onProgress_(onProgress),
        progress_([this](uint8_t percent) { Notify(onProgress_, psRunning, percent); }) {}

  std::vector<uint8_t> Run() {
    // Room for the usual file at once: growing the bytes as they come copies them again
    // and again. Pages of the room that are never written cost nothing.
    output_.reserve(static_cast<size_t>(source_.Width()) * source_.Height() * kBytesPerPixel /
                    kUsualCompression);
    info_.image_width = static_cast<JDIMENSION>(source_.Width());
    info_.image_height = static_cast<JDIMENSION>(source_.Height());
    info_.input_components = 3;
    info_.in_color_space = JCS_EXT_BGR;
    const TDib* rows = &source_.Dib();
    TDib converted;
    if (rows->PixelFormat != pf24bit) {
      converted = ConvertDib(*rows, pf24bit);
      rows = &converted;
    }
    jpeg_set_defaults(&info_);
    jpeg_set_quality(&info_, settings_.Quality, TRUE);
    if (settings_.Grayscale) jpeg_set_colorspace(&info_, JCS_GRAYSCALE);
    if (settings_.ProgressiveEncoding) jpeg_simple_progression(&info_);
    if (onProgress_) info_.progress = progress_.Manager();
    Notify(onProgress_, psStarting, 0);
    jpeg_start_compress(&info_, TRUE);
    while (info_.next_scanline < info_.image_height) {
      auto row = const_cast<JSAMPROW>(rows->Row(static_cast<int>(info_.next_scanline)));
      jpeg_write_scanlines(&info_, &row, 1);
    }
    jpeg_finish_compress(&info_);
    return std::move(output_);
  }

 private:
  std::vector<uint8_t> output_;
  TJpegCompressor compressor_;
  jpeg_compress_struct& info_;
  const TBitmap& source_;
  const TJPEGEncodeSettings& settings_;
  const TJPEGProgressEvent& onProgress_;
  TJpegProgress progress_;
};

// Runs an operation between the begin and end notifications: the end carries 100 percent,
// or 0 when an error is on its way. An abort asked for by the handler ends quietly.
template <class Operation>
bool RunReported(const TJPEGProgressEvent& onProgress, Operation&& operation) {
  try {
    operation();
  } catch (const EAbort&) {
    Notify(onProgress, psEnding, 0);
    return false;
  } catch (...) {
    Notify(onProgress, psEnding, 0);
    throw;
  }
  Notify(onProgress, psEnding, 100);
  return true;
}

}  // namespace

TJPEGHeader ReadJPEGHeader(const std::vector<uint8_t>& Bytes) {
  TJpegDecompressor decompressor(Bytes);
  return HeaderOf(decompressor);
}

void JPEGScaledSize(const std::vector<uint8_t>& Bytes, TJPEGScale Scale, int& Width, int& Height) {
  TJpegDecompressor decompressor(Bytes);
  jpeg_decompress_struct& info = decompressor.Info();
  HeaderOf(decompressor);
  info.scale_num = 1;
  info.scale_denom = 1u << Scale;
  jpeg_calc_output_dimensions(&info);
  Width = static_cast<int>(info.output_width);
  Height = static_cast<int>(info.output_height);
}

std::string DecodeJPEG(const std::vector<uint8_t>& Bytes, const TJPEGDecodeSettings& Settings,
                       TBitmap& Target, const TJPEGProgressEvent& OnProgress) {
  std::string damage;
  RunReported(OnProgress, [&] { damage = TDecoder(Bytes, Settings, Target, OnProgress).Run(); });
  return damage;
}

std::vector<uint8_t> EncodeJPEG(const TBitmap& Source, const TJPEGEncodeSettings& Settings,
                                const TJPEGProgressEvent& OnProgress) {
  if (Source.Empty()) return {};
  std::vector<uint8_t> bytes;
  RunReported(OnProgress, [&] { bytes = TEncoder(Source, Settings, OnProgress).Run(); });
  return bytes;
}
