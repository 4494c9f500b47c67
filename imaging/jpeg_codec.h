#pragma once
// JPEG decoding into bitmaps and encoding of bitmaps, over libjpeg. Rows are exchanged in
// the bitmap's own blue-green-red order (JCS_EXT_BGR), without reordering. Fatal library
// errors raise EJPEG "JPEG error #<the library's message code>".

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/color.h"
#include "imaging/graphic.h"

class TBitmap;

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };
// Output scale 1/1, 1/2, 1/4, 1/8.
enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

struct TJPEGHeader {
  int Width = 0;
  int Height = 0;
  bool Grayscale = false;
  bool Progressive = false;  // the file has several scans
};

// Reads the frame header only; raises EJPEG when the bytes do not start a JPEG image, or
// when its size is over the pixel limit or more than the data after it can make.
TJPEGHeader ReadJPEGHeader(const std::vector<uint8_t>& Bytes);
// The output size the decoder gives at the scale.
void JPEGScaledSize(const std::vector<uint8_t>& Bytes, TJPEGScale Scale, int& Width, int& Height);

struct TJPEGDecodeSettings {
  TJPEGScale Scale = jsFullSize;
  bool Smoothing = true;
  bool Grayscale = false;
  TJPEGPixelFormat PixelFormat = jf24Bit;
  TJPEGPerformance Performance = jpBestQuality;
  bool ProgressiveDisplay = false;
  // Given before decoding: 8-bit output is quantized to exactly these colours.
  TPalette Palette;
};

// Stage, percent, whether to redraw now, and the rows produced since the last report.
using TJPEGProgressEvent =
    std::function<void(TProgressStage Stage, uint8_t Percent, bool RedrawNow, const TRect& R)>;

// The text of a picture whose data ended before its last row.
inline constexpr const char* kJPEGEndsEarly = "JPEG data ends early";

// Decodes into Target: 24 bits, or 8 bits with a palette of at most 236 colours when the
// output is quantized (8-bit pixel format or grayscale output). EAbort raised by the
// progress handler stops the decode quietly, keeping the rows decoded so far.
// Answers what is wrong with the picture, empty when nothing is: kJPEGEndsEarly when the
// data ended early (the rows past the cut are what libjpeg makes of the missing data), or
// libjpeg's warning when data was lost inside ("Corrupt JPEG data: bad Huffman code").
std::string DecodeJPEG(const std::vector<uint8_t>& Bytes, const TJPEGDecodeSettings& Settings,
                       TBitmap& Target, const TJPEGProgressEvent& OnProgress);

struct TJPEGEncodeSettings {
  int Quality = 90;  // the library takes 0 and below as 1, above 100 as 100
  bool Grayscale = false;
  bool ProgressiveEncoding = false;
};

// The JPEG file of the bitmap (converted to 24 bits on a private copy when it is not);
// empty for an empty bitmap. EAbort from the progress handler gives empty bytes too.
std::vector<uint8_t> EncodeJPEG(const TBitmap& Source, const TJPEGEncodeSettings& Settings,
                                const TJPEGProgressEvent& OnProgress);
