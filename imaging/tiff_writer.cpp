// The TIFF writer of TTiffGraphic: one page, in strips of the size libtiff suggests.

#include <vector>

#include "imaging/tiff_file.h"
#include "imaging/tiff_graphic.h"

namespace {

constexpr const char* kWriteScanlineItem = "TIFFWriteScanline";
constexpr const char* kWriteDirectoryItem = "TIFFWriteDirectory";
// 8-bit colour components widened to the 16 bits of a TIFF colour map.
constexpr uint16_t kColorMapScale = 257;

uint16_t CompressionTag(TTiffCompression Compression) {
  switch (Compression) {
    case tcPackbits:
      return COMPRESSION_PACKBITS;
    case tcCcittGroup3_1D:
    case tcCcittGroup3_2D:
      return COMPRESSION_CCITTFAX3;
    case tcCcittGroup4:
      return COMPRESSION_CCITTFAX4;
    case tcZLib:
      return COMPRESSION_ADOBE_DEFLATE;
    case tcJPEG:
      return COMPRESSION_JPEG;
    case tcNone:
      break;
  }
  return COMPRESSION_NONE;
}

void WriteColorMap(TIFF* tiff, const TPalette& palette, int bits) {
  const size_t entries = size_t{1} << bits;
  std::vector<uint16_t> red(entries), green(entries), blue(entries);
  for (size_t i = 0; i < entries && i < palette.size(); ++i) {
    red[i] = static_cast<uint16_t>(palette[i].Red * kColorMapScale);
    green[i] = static_cast<uint16_t>(palette[i].Green * kColorMapScale);
    blue[i] = static_cast<uint16_t>(palette[i].Blue * kColorMapScale);
  }
  TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
}

void WriteTextTags(TIFF* tiff, const TTiffTextTags& tags) {
  const std::pair<uint32_t, const std::string*> kTags[] = {
      {TIFFTAG_DOCUMENTNAME, &tags.DocumentName},
      {TIFFTAG_IMAGEDESCRIPTION, &tags.ImageDescription},
      {TIFFTAG_MAKE, &tags.Make},
      {TIFFTAG_MODEL, &tags.Model},
      {TIFFTAG_PAGENAME, &tags.PageName},
      {TIFFTAG_SOFTWARE, &tags.Software},
      {TIFFTAG_DATETIME, &tags.DateTime},
      {TIFFTAG_ARTIST, &tags.Artist},
      {TIFFTAG_HOSTCOMPUTER, &tags.HostComputer},
  };
  for (const auto& [tag, text] : kTags)
    if (!text->empty()) TIFFSetField(tiff, tag, text->c_str());
}

void WriteLayout(TIFF* tiff, TTiffGraphic& image) {
  const TImageFormat format = image.ImageFormat();
  const bool trueColor = format == ifTrueColor;
  const int bits = trueColor ? 8 : BitsPerPixel(PixelFormatOf(format));
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.Width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.Height()));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bits));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(trueColor ? 3 : 1));
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, CompressionTag(image.Compression()));
  if (image.Compression() == tcCcittGroup3_2D)
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(GROUP3OPT_2DENCODING));
  // Index 0 of the grey palettes is black. Black-and-white files are written white-is-zero,
  // as fax coding expects (and as the reader takes fax files).
  uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  if (format == ifBlackWhite) photometric = PHOTOMETRIC_MINISWHITE;
  if (trueColor) photometric = PHOTOMETRIC_RGB;
  if (format == ifColor16 || format == ifColor256) photometric = PHOTOMETRIC_PALETTE;
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  if (photometric == PHOTOMETRIC_PALETTE) WriteColorMap(tiff, image.Palette(), bits);
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(image.XResolution()));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(image.YResolution()));
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
  WriteTextTags(tiff, image.TextTags());
}

// Row y in the file's layout: the image's rows, with true colour turned to red first and
// black and white inverted.
void FileRow(const TTiffGraphic& image, int y, std::vector<uint8_t>& line) {
  const uint8_t* row = image.ScanLine(y);
  std::copy(row, row + line.size(), line.begin());
  if (image.ImageFormat() == ifBlackWhite)
    for (uint8_t& byte : line) byte = static_cast<uint8_t>(~byte);
  if (image.ImageFormat() != ifTrueColor) return;
  for (size_t x = 0; x + 2 < line.size(); x += 3) std::swap(line[x], line[x + 2]);
}

}  // namespace

void TTiffGraphic::SaveToStream(TStream& Stream) {
  if (Empty()) return;
  RequireCompressionFitsFormat(compression_, ImageFormat());
  const TTiffFile file(Stream, TTiffFile::tmWrite);
  TIFF* tiff = file.Handle();
  WriteLayout(tiff, *this);
  std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize64(tiff)));
  for (int y = 0; y < Height(); ++y) {
    FileRow(*this, y, line);
    if (TIFFWriteScanline(tiff, line.data(), static_cast<uint32_t>(y), 0) < 0)
      RaiseTiffError(kWriteScanlineItem);
  }
  if (!TIFFWriteDirectory(tiff)) RaiseTiffError(kWriteDirectoryItem);
}
