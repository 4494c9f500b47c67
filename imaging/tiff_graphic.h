#pragma once
// TIFF files over libtiff: every page of a file can be read into the image library's
// device-independent bitmap, with the file's compression, rows per strip and text tags;
// the image is written back as a one-page TIFF file.

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/dib_graphic.h"

enum TTiffCompression {
  tcNone,
  tcPackbits,
  tcCcittGroup3_1D,
  tcCcittGroup3_2D,
  tcCcittGroup4,
  tcZLib,
  tcJPEG,
};

// "None", "Packbits", "CCITT Group 3, 1D", ... as used in messages.
const char* TiffCompressionName(TTiffCompression Compression);
// Which compressions an image format can be stored with: black and white all but JPEG;
// 256 greys and true colour none, Packbits, ZLib and JPEG; the others none, Packbits
// and ZLib.
bool CompressionFitsFormat(TTiffCompression Compression, TImageFormat Format);
// Raises EImagingError "%s compression not supported with %s images" when it does not.
void RequireCompressionFitsFormat(TTiffCompression Compression, TImageFormat Format);

// The text tags kept as read (empty when absent).
struct TTiffTextTags {
  std::string DocumentName;      // 269
  std::string ImageDescription;  // 270
  std::string Make;              // 271
  std::string Model;             // 272
  std::string PageName;          // 285
  std::string Software;          // 305
  std::string DateTime;          // 306
  std::string Artist;            // 315
  std::string HostComputer;      // 316
  friend bool operator==(const TTiffTextTags&, const TTiffTextTags&) = default;
};

class TTiffGraphic : public TDibGraphic {
 public:
  static TGraphicClass StaticClass();
  TGraphicClass ClassType() const override { return StaticClass(); }

  // Walks the directories from the first and counts them. Raises ETiffError
  // "ETiffError TIFFOpen" for data that is no TIFF file.
  int CountPages(TStream& Stream) override;
  // Reads one page, turned upright as its orientation tag says. Compressions an image
  // cannot be written with (LZW, old-style JPEG, any other libtiff decodes) go through
  // libtiff's RGBA reader. Raises ETiffError ("ETiffError TIFFOpen", "ETiffError Bits per
  // sample not specified", or the name of the libtiff call that failed to read the pixels
  // with libtiff's reason after a colon) and EImagingError ("%s compression not supported
  // with %s images").
  void ReadPage(TStream& Stream, int Number) override;
  // A one-page TIFF file in the image's format with Compression(); a compression the
  // format cannot carry raises EImagingError "%s compression not supported with %s images".
  void SaveToStream(TStream& Stream) override;
  // From another TTiffGraphic also its compression, rows per strip and text tags.
  void Assign(const TGraphic& Source) override;

  TTiffCompression Compression() const { return compression_; }
  void SetCompression(TTiffCompression Value) { compression_ = Value; }
  // None when the file has no rows-per-strip tag (a single strip).
  std::optional<uint32_t> RowsPerStrip() const { return rowsPerStrip_; }
  const TTiffTextTags& TextTags() const { return textTags_; }

 private:
  TTiffCompression compression_ = tcNone;
  std::optional<uint32_t> rowsPerStrip_;
  TTiffTextTags textTags_;
};
