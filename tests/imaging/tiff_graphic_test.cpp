#include "imaging/tiff_graphic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/imaging/tiff_test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<TTiffGraphic> Read(const Bytes& bytes, int page = 1) {
  TMemoryStream stream(bytes);
  auto graphic = std::make_unique<TTiffGraphic>();
  graphic->SetPageToRead(page);
  graphic->LoadFromStream(stream);
  return graphic;
}

std::unique_ptr<TTiffGraphic> Read(const TTestPage& page) {
  return Read(TiffBytes({page}));
}

// The message of the error that reading raises, or "" when it reads.
template <class Error>
std::string ReadError(const Bytes& bytes) {
  try {
    Read(bytes);
  } catch (const Error& error) {
    return error.Message();
  }
  return "";
}

TTestPage Page(uint32_t width, uint32_t height, uint16_t bits, uint16_t photometric, Bytes pixels) {
  TTestPage page;
  page.width = width;
  page.height = height;
  page.bitsPerSample = bits;
  page.photometric = photometric;
  page.pixels = std::move(pixels);
  return page;
}

TTestPage RgbPage(uint32_t width, uint32_t height) {
  TTestPage page = Page(width, height, 8, PHOTOMETRIC_RGB, {});
  page.samplesPerPixel = 3;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      page.pixels.insert(
          page.pixels.end(),
          {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16), static_cast<uint8_t>(200)});
  return page;
}

// An 8 x 8 black-and-white page: a black left half on white.
TTestPage BlackLeftHalf(uint16_t photometric) {
  const uint8_t black = photometric == PHOTOMETRIC_MINISWHITE ? 0xF0 : 0x0F;
  return Page(8, 8, 1, photometric, Bytes(8, black));
}

std::vector<uint16_t> ColorMap(int entries, uint16_t scale) {
  std::vector<uint16_t> map(3 * entries);
  for (int i = 0; i < entries; ++i) {
    map[i] = static_cast<uint16_t>(i * scale);                            // red
    map[entries + i] = static_cast<uint16_t>((entries - 1 - i) * scale);  // green
    map[2 * entries + i] = static_cast<uint16_t>(7 * scale);              // blue
  }
  return map;
}

void ExpectBlackLeftHalf(const TTiffGraphic& image) {
  ASSERT_EQ(image.ImageFormat(), ifBlackWhite);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(image.Pixel(x, 3), x < 4 ? clBlack : clWhite) << x;
}

TEST(TiffGraphicTest, BlackAndWhiteShowsBlackAsBlackInBothPhotometrics) {
  // Black is zero: read as it is. White is zero: the bits are inverted after reading.
  ExpectBlackLeftHalf(*Read(BlackLeftHalf(PHOTOMETRIC_MINISBLACK)));
  ExpectBlackLeftHalf(*Read(BlackLeftHalf(PHOTOMETRIC_MINISWHITE)));
  // No photometric tag: white is zero.
  Bytes bytes = TiffBytes({BlackLeftHalf(PHOTOMETRIC_MINISWHITE)});
  DropTag(bytes, TIFFTAG_PHOTOMETRIC);
  ExpectBlackLeftHalf(*Read(bytes));
}

TEST(TiffGraphicTest, GreyFormatsAndTheirInversion) {
  // 4 bits: samples 0x3 and 0xC in one byte.
  auto grey16 = Read(Page(2, 1, 4, PHOTOMETRIC_MINISBLACK, {0x3C}));
  EXPECT_EQ(grey16->ImageFormat(), ifGray16);
  EXPECT_EQ(grey16->Pixel(0, 0), (TRGBColor{51, 51, 51}));
  EXPECT_EQ(grey16->Pixel(1, 0), (TRGBColor{204, 204, 204}));
  auto inverted16 = Read(Page(2, 1, 4, PHOTOMETRIC_MINISWHITE, {0x3C}));
  EXPECT_EQ(inverted16->Pixel(0, 0), (TRGBColor{204, 204, 204}));

  auto grey256 = Read(Page(2, 1, 8, PHOTOMETRIC_MINISBLACK, {10, 250}));
  EXPECT_EQ(grey256->ImageFormat(), ifGray256);
  EXPECT_EQ(grey256->Pixel(0, 0), (TRGBColor{10, 10, 10}));
  auto inverted256 = Read(Page(2, 1, 8, PHOTOMETRIC_MINISWHITE, {10, 250}));
  EXPECT_EQ(inverted256->Pixel(0, 0), (TRGBColor{245, 245, 245}));
  EXPECT_EQ(inverted256->Pixel(1, 0), (TRGBColor{5, 5, 5}));
}

TEST(TiffGraphicTest, WhiteIsZeroThroughTheRgbaReaderIsNotInvertedTwice) {
  // Tiles go through the RGBA reader, which turns white-is-zero samples into colours
  // itself: the image must look the same as the strip file's.
  TTestPage page = Page(16, 16, 8, PHOTOMETRIC_MINISWHITE, Bytes(256, 40));
  auto strips = Read(page);
  page.tileSize = 16;
  auto tiles = Read(page);
  EXPECT_EQ(tiles->ImageFormat(), ifGray256);
  EXPECT_EQ(strips->Pixel(5, 5), (TRGBColor{215, 215, 215}));
  EXPECT_EQ(tiles->Pixel(5, 5), (TRGBColor{215, 215, 215}));
}

TEST(TiffGraphicTest, SixteenBitSamplesKeepTheirHighByte) {
  const uint16_t samples[] = {0x12FF, 0xAB00};
  Bytes pixels(4);
  std::memcpy(pixels.data(), samples, 4);
  auto image = Read(Page(2, 1, 16, PHOTOMETRIC_MINISBLACK, pixels));
  EXPECT_EQ(image->ImageFormat(), ifGray256);
  EXPECT_EQ(image->Pixel(0, 0), (TRGBColor{0x12, 0x12, 0x12}));
  EXPECT_EQ(image->Pixel(1, 0), (TRGBColor{0xAB, 0xAB, 0xAB}));
  auto inverted = Read(Page(2, 1, 16, PHOTOMETRIC_MINISWHITE, pixels));
  EXPECT_EQ(inverted->Pixel(0, 0), (TRGBColor{0xED, 0xED, 0xED}));
}

TEST(TiffGraphicTest, PaletteImagesWithEightAndSixteenBitColourMaps) {
  // 16-bit maps are scaled by 255 / 65535; maps whose values all fit a byte are 8-bit.
  TTestPage wide = Page(3, 1, 8, PHOTOMETRIC_PALETTE, {0, 1, 255});
  wide.colorMap = ColorMap(256, 257);
  auto wideImage = Read(wide);
  EXPECT_EQ(wideImage->ImageFormat(), ifColor256);
  EXPECT_EQ(wideImage->Pixel(0, 0), (TRGBColor{0, 255, 7}));
  EXPECT_EQ(wideImage->Pixel(1, 0), (TRGBColor{1, 254, 7}));
  EXPECT_EQ(wideImage->Pixel(2, 0), (TRGBColor{255, 0, 7}));

  TTestPage narrow = Page(2, 1, 4, PHOTOMETRIC_PALETTE, {0x0F});
  narrow.colorMap = ColorMap(16, 1);
  auto narrowImage = Read(narrow);
  EXPECT_EQ(narrowImage->ImageFormat(), ifColor16);
  EXPECT_EQ(narrowImage->Pixel(0, 0), (TRGBColor{0, 15, 7}));
  EXPECT_EQ(narrowImage->Pixel(1, 0), (TRGBColor{15, 0, 7}));
}

TEST(TiffGraphicTest, OneBitPaletteIsSpreadIntoTheSixteenColourImage) {
  TTestPage page = Page(8, 1, 1, PHOTOMETRIC_PALETTE, {0xA0});
  page.colorMap = {0, 65535, 0, 0, 0, 65535};  // red: 0, 1; green: 0, 0; blue: 0, 1
  auto image = Read(page);
  EXPECT_EQ(image->ImageFormat(), ifColor16);
  EXPECT_EQ(image->Pixel(0, 0), (TRGBColor{255, 0, 255}));
  EXPECT_EQ(image->Pixel(1, 0), clBlack);
  EXPECT_EQ(image->Pixel(2, 0), (TRGBColor{255, 0, 255}));
  EXPECT_EQ(image->Pixel(7, 0), clBlack);
}

TEST(TiffGraphicTest, TrueColourDirectlyTiledAndPlanarGiveTheSamePixels) {
  TTestPage page = RgbPage(16, 16);
  auto direct = Read(page);
  EXPECT_EQ(direct->ImageFormat(), ifTrueColor);
  EXPECT_EQ(direct->Pixel(3, 5), (TRGBColor{48, 80, 200}));
  page.tileSize = 16;
  auto tiled = Read(page);
  page.tileSize = 0;
  page.planar = PLANARCONFIG_SEPARATE;
  auto planar = Read(page);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(tiled->Pixel(x, y), direct->Pixel(x, y));
      EXPECT_EQ(planar->Pixel(x, y), direct->Pixel(x, y));
    }
}

TEST(TiffGraphicTest, LosslessCompressionsReadAndAreRecorded) {
  const std::pair<uint16_t, TTiffCompression> cases[] = {
      {COMPRESSION_NONE, tcNone},
      {COMPRESSION_PACKBITS, tcPackbits},
      {COMPRESSION_DEFLATE, tcZLib},
      {COMPRESSION_ADOBE_DEFLATE, tcZLib},
  };
  for (const auto& [tag, compression] : cases) {
    TTestPage page = RgbPage(16, 16);
    page.compression = tag;
    auto image = Read(page);
    EXPECT_EQ(image->Compression(), compression) << tag;
    EXPECT_EQ(image->Pixel(15, 15), (TRGBColor{240, 240, 200})) << tag;
  }
}

// The photometric tag decides black and white for fax codings as for any other; only a
// file without it is read as white-is-zero.
TEST(TiffGraphicTest, FaxCodingsFollowTheirPhotometricTag) {
  const std::pair<uint16_t, TTiffCompression> cases[] = {
      {COMPRESSION_CCITTRLE, tcCcittGroup3_1D},
      {COMPRESSION_CCITTFAX3, tcCcittGroup3_1D},
      {COMPRESSION_CCITTFAX4, tcCcittGroup4},
  };
  for (const auto& [tag, compression] : cases) {
    for (const uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
      TTestPage page = BlackLeftHalf(photometric);
      page.compression = tag;
      auto image = Read(page);
      EXPECT_EQ(image->Compression(), compression) << tag;
      ExpectBlackLeftHalf(*image);
    }
    TTestPage untagged = BlackLeftHalf(PHOTOMETRIC_MINISWHITE);
    untagged.compression = tag;
    Bytes bytes = TiffBytes({untagged});
    DropTag(bytes, TIFFTAG_PHOTOMETRIC);
    ExpectBlackLeftHalf(*Read(bytes));
  }
  TTestPage twoD = BlackLeftHalf(PHOTOMETRIC_MINISWHITE);
  twoD.compression = COMPRESSION_CCITTFAX3;
  twoD.group3Options = GROUP3OPT_2DENCODING;
  auto image = Read(twoD);
  EXPECT_EQ(image->Compression(), tcCcittGroup3_2D);
  ExpectBlackLeftHalf(*image);
}

TEST(TiffGraphicTest, FaxWithoutBitsPerSampleReadsAsOneBit) {
  TTestPage page = BlackLeftHalf(PHOTOMETRIC_MINISWHITE);
  page.compression = COMPRESSION_CCITTFAX4;
  Bytes bytes = TiffBytes({page});
  DropTag(bytes, TIFFTAG_BITSPERSAMPLE);
  ExpectBlackLeftHalf(*Read(bytes));
}

TEST(TiffGraphicTest, JpegGreyAndYCbCrComeThroughTheRgbaReader) {
  TTestPage grey = Page(16, 16, 8, PHOTOMETRIC_MINISBLACK, Bytes(256, 100));
  grey.compression = COMPRESSION_JPEG;
  grey.rowsPerStrip = 16;
  auto greyImage = Read(grey);
  EXPECT_EQ(greyImage->Compression(), tcJPEG);
  EXPECT_EQ(greyImage->ImageFormat(), ifGray256);
  EXPECT_NEAR(greyImage->Pixel(8, 8).Red, 100, 2);

  // White is zero: the reader shows sample 100 as 155, once.
  grey.photometric = PHOTOMETRIC_MINISWHITE;
  EXPECT_NEAR(Read(grey)->Pixel(8, 8).Red, 155, 2);

  TTestPage colour = RgbPage(16, 16);
  colour.compression = COMPRESSION_JPEG;
  colour.photometric = PHOTOMETRIC_YCBCR;
  colour.rowsPerStrip = 16;
  auto colourImage = Read(colour);
  EXPECT_EQ(colourImage->ImageFormat(), ifTrueColor);
  const TRGBColor pixel = colourImage->Pixel(8, 4);
  EXPECT_NEAR(pixel.Red, 128, 12);
  EXPECT_NEAR(pixel.Green, 64, 12);
  EXPECT_NEAR(pixel.Blue, 200, 12);
}

TEST(TiffGraphicTest, LzwReadsAndIsWrittenBackAsANewImageWouldBe) {
  TTestPage page = RgbPage(4, 4);
  page.compression = COMPRESSION_LZW;
  auto image = Read(page);
  EXPECT_EQ(image->Pixel(3, 2), (TRGBColor{48, 32, 200}));
  EXPECT_EQ(image->Compression(), tcPackbits);
}

TEST(TiffGraphicTest, TagErrorsHaveTheirTexts) {
  EXPECT_EQ(ReadError<ETiffError>(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'T', 'I', 'F', 'F'}),
            "ETiffError TIFFOpen");

  Bytes noBits = TiffBytes({RgbPage(4, 4)});
  DropTag(noBits, TIFFTAG_BITSPERSAMPLE);
  EXPECT_EQ(ReadError<ETiffError>(noBits), "ETiffError Bits per sample not specified");

  Bytes unknownCompression = TiffBytes({RgbPage(4, 4)});
  SetTagValue(unknownCompression, TIFFTAG_COMPRESSION, 32908);
  EXPECT_TRUE(
      ReadError<ETiffError>(unknownCompression).starts_with("ETiffError TIFFReadRGBAImage: "));

  Bytes faxColour = TiffBytes({RgbPage(4, 4)});
  SetTagValue(faxColour, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(ReadError<EImagingError>(faxColour),
            "CCITT Group 4 compression not supported with True color images");
}

TEST(TiffGraphicTest, HugeDeclaredSizeIsRefusedBeforeAllocating) {
  Bytes bytes = TiffBytes({RgbPage(4, 4)});
  SetTagValue(bytes, TIFFTAG_IMAGEWIDTH, 20000);
  SetTagValue(bytes, TIFFTAG_IMAGELENGTH, 20000);
  EXPECT_EQ(ReadError<EImagingError>(bytes), "Image of 20000 x 20000 pixels is too large");
}

TEST(TiffGraphicTest, CompressionFormatPairs) {
  EXPECT_TRUE(CompressionFitsFormat(tcCcittGroup4, ifBlackWhite));
  EXPECT_FALSE(CompressionFitsFormat(tcJPEG, ifBlackWhite));
  EXPECT_TRUE(CompressionFitsFormat(tcJPEG, ifGray256));
  EXPECT_TRUE(CompressionFitsFormat(tcJPEG, ifTrueColor));
  EXPECT_FALSE(CompressionFitsFormat(tcJPEG, ifColor256));
  EXPECT_FALSE(CompressionFitsFormat(tcCcittGroup3_2D, ifGray16));
  EXPECT_TRUE(CompressionFitsFormat(tcZLib, ifColor16));
}

TEST(TiffGraphicTest, ResolutionsInDotsPerInch) {
  TTestPage page = RgbPage(2, 2);
  page.xResolution = 118;
  page.yResolution = 72.5f;
  page.resolutionUnit = RESUNIT_CENTIMETER;
  auto image = Read(page);
  EXPECT_EQ(image->XResolution(), 300);  // 299.72
  EXPECT_EQ(image->YResolution(), 184);  // 184.15
  page.resolutionUnit = RESUNIT_INCH;
  page.yResolution = 72.5f;
  EXPECT_EQ(Read(page)->YResolution(), 72);  // halves round to even
  page.xResolution = 0;
  EXPECT_EQ(Read(page)->XResolution(), kScreenResolution);
}

TEST(TiffGraphicTest, RowsPerStripAsTheFileSaysAndStripsRead) {
  TTestPage page = Page(4, 10, 8, PHOTOMETRIC_MINISBLACK, {});
  for (int i = 0; i < 40; ++i) page.pixels.push_back(static_cast<uint8_t>(i));
  page.rowsPerStrip = 3;  // four strips, the last of one row
  auto striped = Read(page);
  EXPECT_EQ(striped->RowsPerStrip(), 3u);
  EXPECT_EQ(striped->Pixel(1, 9), (TRGBColor{37, 37, 37}));

  page.rowsPerStrip = 10;
  Bytes whole = TiffBytes({page});
  SetTagValue(whole, TIFFTAG_ROWSPERSTRIP, 0xFFFFFFFF);
  auto unlimited = Read(whole);
  EXPECT_EQ(unlimited->RowsPerStrip(), 10u);  // the image height
  EXPECT_EQ(unlimited->Pixel(1, 9), (TRGBColor{37, 37, 37}));
}

TEST(TiffGraphicTest, AbsentRowsPerStripMeansOneStrip) {
  TTestPage page = Page(4, 10, 8, PHOTOMETRIC_MINISBLACK, Bytes(40, 9));
  page.rowsPerStrip = 10;
  Bytes bytes = TiffBytes({page});
  DropTag(bytes, TIFFTAG_ROWSPERSTRIP);
  auto image = Read(bytes);
  EXPECT_FALSE(image->RowsPerStrip().has_value());
  EXPECT_EQ(image->Pixel(3, 9), (TRGBColor{9, 9, 9}));
}

TEST(TiffGraphicTest, TextTagsAreKept) {
  TTestPage page = RgbPage(2, 2);
  page.textTags = {{TIFFTAG_DOCUMENTNAME, "chart"},
                   {TIFFTAG_IMAGEDESCRIPTION, "850 hPa"},
                   {TIFFTAG_MAKE, "make"},
                   {TIFFTAG_MODEL, "model"},
                   {TIFFTAG_PAGENAME, "page 1"},
                   {TIFFTAG_SOFTWARE, "libtiff test"},
                   {TIFFTAG_DATETIME, "2024:01:02 03:04:05"},
                   {TIFFTAG_ARTIST, "artist"},
                   {TIFFTAG_HOSTCOMPUTER, "host"}};
  const TTiffTextTags tags = Read(page)->TextTags();
  EXPECT_EQ(tags.DocumentName, "chart");
  EXPECT_EQ(tags.ImageDescription, "850 hPa");
  EXPECT_EQ(tags.Make, "make");
  EXPECT_EQ(tags.Model, "model");
  EXPECT_EQ(tags.PageName, "page 1");
  EXPECT_EQ(tags.Software, "libtiff test");
  EXPECT_EQ(tags.DateTime, "2024:01:02 03:04:05");
  EXPECT_EQ(tags.Artist, "artist");
  EXPECT_EQ(tags.HostComputer, "host");
}

TEST(TiffGraphicTest, PagesAreCountedAndChosen) {
  const Bytes bytes = TiffBytes({RgbPage(3, 2), RgbPage(5, 4), RgbPage(7, 6)});
  TMemoryStream stream(bytes);
  TTiffGraphic counter;
  EXPECT_EQ(counter.CountPages(stream), 3);
  EXPECT_EQ(Read(bytes, 2)->Width(), 5);
  EXPECT_EQ(Read(bytes, 3)->Height(), 6);
  try {
    Read(bytes, 4);
    FAIL() << "read page 4 of 3";
  } catch (const EImagingError& error) {
    EXPECT_EQ(error.Message(), "Frame 4 does not exist");
  }

  TMemoryStream all(bytes);
  TTiffGraphic pages;
  pages.SetReadAllPages(true);
  pages.LoadFromStream(all);
  ASSERT_EQ(pages.PageCount(), 3);
  EXPECT_EQ(pages.CurrentPage(), 1);
  EXPECT_EQ(pages.Width(), 3);
  EXPECT_EQ(pages.Page(3).Width(), 7);
  pages.ShowPage(2);
  EXPECT_EQ(pages.Width(), 5);
}

TEST(TiffGraphicTest, FileStartingInsideAStream) {
  Bytes bytes{'j', 'u', 'n', 'k'};
  const Bytes tiff = TiffBytes({RgbPage(6, 3)});
  bytes.insert(bytes.end(), tiff.begin(), tiff.end());
  TMemoryStream stream(bytes);
  stream.SetPosition(4);
  TTiffGraphic image;
  image.LoadFromStream(stream);
  EXPECT_EQ(image.Width(), 6);
  EXPECT_EQ(image.Pixel(5, 2), (TRGBColor{80, 32, 200}));
}

TEST(TiffGraphicTest, DamagedPixelDataIsAnErrorNotABlackImage) {
  TTestPage page = RgbPage(64, 64);
  page.compression = COMPRESSION_ADOBE_DEFLATE;
  page.rowsPerStrip = 64;
  Bytes bytes = TiffBytes({page});
  // Cut the strip short: the directory comes after the pixel data in libtiff's files.
  SetTagValue(bytes, TIFFTAG_STRIPBYTECOUNTS, 20);
  EXPECT_TRUE(ReadError<ETiffError>(bytes).starts_with("ETiffError TIFFReadScanline: "));
}

// Files cut as a broken download cuts them: the directory first, the file ending inside
// the third strip of 8 rows (or the third tile of 16 x 16, which starts the second tile
// row). The 16 rows before it are kept and the page says it is partial; a file ending
// inside its first strip is an error, never a black picture.
TEST(TiffGraphicTest, StripsCutShortKeepTheRowsBeforeTheCut) {
  struct TCase {
    const char* what;
    TTestPage page;
  };
  auto with = [](TTestPage page, uint16_t compression, uint32_t rowsPerStrip, uint32_t tile) {
    page.compression = compression;
    page.rowsPerStrip = rowsPerStrip;
    page.tileSize = tile;
    return page;
  };
  Bytes greyRamp(32 * 32);
  for (size_t i = 0; i < greyRamp.size(); ++i) greyRamp[i] = static_cast<uint8_t>(i * 5 + 1);
  TTestPage cmyk = Page(32, 32, 8, PHOTOMETRIC_SEPARATED, {});
  cmyk.samplesPerPixel = 4;
  for (size_t i = 0; i < 32 * 32; ++i) cmyk.pixels.insert(cmyk.pixels.end(), {10, 90, 0, 40});
  const TCase cases[] = {
      {"LZW colour, RGBA reader", with(RgbPage(32, 32), COMPRESSION_LZW, 8, 0)},
      {"packbits colour, scanlines", with(RgbPage(32, 32), COMPRESSION_PACKBITS, 8, 0)},
      {"white-is-zero grey, scanlines",
       with(Page(32, 32, 8, PHOTOMETRIC_MINISWHITE, greyRamp), COMPRESSION_NONE, 8, 0)},
      {"CMYK, RGBA reader", with(cmyk, COMPRESSION_NONE, 8, 0)},
      {"deflate tiles, RGBA reader", with(RgbPage(32, 48), COMPRESSION_ADOBE_DEFLATE, 0, 16)},
  };
  constexpr uint32_t kCutStrip = 2;
  constexpr int kRowsKept = 16;
  for (const TCase& c : cases) {
    const Bytes whole = DirectoryFirst(TiffBytes({c.page}));
    const auto image = Read(whole);
    EXPECT_FALSE(image->Truncated()) << c.what;
    Bytes cut = whole;
    cut.resize(StripOffset(whole, kCutStrip) + 3);
    const auto partial = Read(cut);
    EXPECT_TRUE(partial->Truncated()) << c.what;
    EXPECT_EQ(partial->Warnings(), "TIFF data ends early") << c.what;
    for (int y = 0; y < static_cast<int>(c.page.height); ++y) {
      EXPECT_EQ(std::memcmp(partial->ScanLine(y), image->ScanLine(y), image->RowSize()) == 0,
                y < kRowsKept)
          << c.what << ", row " << y;
    }
    cut.resize(StripOffset(whole, 0) + 3);
    EXPECT_TRUE(ReadError<ETiffError>(cut).starts_with("ETiffError TIFFRead")) << c.what;
  }
}

TEST(TiffGraphicTest, AbsurdlyWideSamplesEndInAnError) {
  // 60000 bits in each of 40 samples: the bits of one pixel overflow 32-bit arithmetic.
  Bytes bytes = TiffBytes({Page(1, 1, 8, PHOTOMETRIC_MINISBLACK, {0})});
  SetTagValue(bytes, TIFFTAG_BITSPERSAMPLE, 60000);
  SetTagValue(bytes, TIFFTAG_SAMPLESPERPIXEL, 40);
  EXPECT_TRUE(ReadError<ETiffError>(bytes).starts_with("ETiffError TIFFReadRGBAImage: "));
}

TEST(TiffGraphicTest, WriterRoundTripsEveryFormat) {
  TTestPage palette = Page(4, 2, 8, PHOTOMETRIC_PALETTE, {0, 1, 2, 3, 4, 5, 6, 7});
  palette.colorMap = ColorMap(256, 257);
  const TTestPage pages[] = {
      BlackLeftHalf(PHOTOMETRIC_MINISBLACK),
      Page(2, 1, 4, PHOTOMETRIC_MINISBLACK, {0x3C}),
      Page(2, 1, 8, PHOTOMETRIC_MINISBLACK, {10, 250}),
      palette,
      RgbPage(5, 3),
  };
  for (const TTestPage& page : pages) {
    auto original = Read(page);
    for (TTiffCompression compression : {tcNone, tcPackbits, tcZLib, tcCcittGroup4}) {
      if (!CompressionFitsFormat(compression, original->ImageFormat())) continue;
      original->SetCompression(compression);
      TMemoryStream saved;
      original->SaveToStream(saved);
      auto copy = Read(saved.Bytes());
      EXPECT_EQ(copy->ImageFormat(), original->ImageFormat());
      EXPECT_EQ(copy->Compression(), compression);
      EXPECT_EQ(copy->Dib().Bits, original->Dib().Bits) << ImageFormatName(original->ImageFormat());
    }
  }
}

TEST(TiffGraphicTest, WriterRefusesACompressionTheFormatCannotCarry) {
  auto image = Read(RgbPage(2, 2));
  image->SetCompression(tcCcittGroup3_1D);
  TMemoryStream stream;
  EXPECT_THROW(image->SaveToStream(stream), EImagingError);
  EXPECT_EQ(stream.Size(), 0);
}

}  // namespace
