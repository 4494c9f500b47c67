#include "imaging/image_scroll_box.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>

#include "imaging/canvas.h"
#include "imaging/dib_formats.h"
#include "imaging/file_formats.h"
#include "imaging/image_library.h"
#include "imaging/ppm_graphic.h"
#include "imaging/tiff_graphic.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/imaging/tiff_test_files.h"
#include "tests/support/temp_dir.h"

namespace {

TTestPage GreyPage(uint32_t width, uint32_t height) {
  TTestPage page;
  page.width = width;
  page.height = height;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) page.pixels.push_back(static_cast<uint8_t>(x + y));
  return page;
}

// Alternating black and white columns.
TTestPage StripesPage(uint32_t width, uint32_t height) {
  TTestPage page;
  page.width = width;
  page.height = height;
  page.bitsPerSample = 1;
  page.pixels.assign(page.RowBytes() * height, 0x55);
  return page;
}

// The registered image library, a temporary folder that is also the system's temporary
// folder, and a viewer.
class ImageScrollBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* previous = getenv("TMPDIR");
    if (previous) previousTemporaryFolder_ = previous;
    setenv("TMPDIR", folder_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (previousTemporaryFolder_)
      setenv("TMPDIR", previousTemporaryFolder_->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  std::string Tiff(const std::string& name, const std::vector<TTestPage>& pages) {
    const std::string fileName = folder_.File(name);
    WriteTiffFile(fileName, pages);
    return fileName;
  }

  template <class Error>
  std::string LoadError(const std::string& fileName) {
    try {
      viewer_.LoadFromFile(fileName, 0);
    } catch (const Error& error) {
      return error.Message();
    }
    return "";
  }

  void ExpectShowsNothing() {
    EXPECT_TRUE(viewer_.Graphic().Empty());
    EXPECT_TRUE(viewer_.DisplayGraphic().Empty());
    EXPECT_FALSE(viewer_.HorzScrollBarVisible());
    EXPECT_FALSE(viewer_.VertScrollBarVisible());
    EXPECT_TRUE(viewer_.ImageBounds().IsEmpty());
  }

  TImageLibraryFormats formats_;
  TempDir folder_;
  std::optional<std::string> previousTemporaryFolder_;
  TImageScrollBox viewer_;
};

TEST_F(ImageScrollBoxTest, TiffShowsAsATrueColourCopyAtTheDefaultZoom) {
  viewer_.LoadFromFile(Tiff("chart.tif", {GreyPage(100, 50)}), 0);
  TBitmap& display = viewer_.DisplayGraphic();
  EXPECT_EQ(display.Width(), 100);
  EXPECT_EQ(display.Height(), 50);
  EXPECT_EQ(display.PixelFormat(), pf24bit);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x)
      ASSERT_EQ(display.Canvas().Pixel(x, y), viewer_.Graphic().Pixel(x, y)) << x << "," << y;
  // Wider than the 76 x 97 control, not higher.
  EXPECT_TRUE(viewer_.HorzScrollBarVisible());
  EXPECT_FALSE(viewer_.VertScrollBarVisible());
  EXPECT_EQ(viewer_.ImageBounds(), Rect(0, 0, 100, 50));
}

TEST_F(ImageScrollBoxTest, PageZeroReadsEveryPageAndShowsTheFirst) {
  const std::string fileName =
      Tiff("pages.tif", {GreyPage(30, 20), GreyPage(40, 10), GreyPage(5, 5)});
  viewer_.LoadFromFile(fileName, 0);
  EXPECT_EQ(viewer_.Graphic().PageCount(), 3);
  EXPECT_EQ(viewer_.Graphic().CurrentPage(), 1);
  EXPECT_EQ(viewer_.DisplayGraphic().Width(), 30);
  EXPECT_EQ(viewer_.DisplayGraphic().Height(), 20);
  // Showing another page shows it in the display.
  viewer_.Graphic().ShowPage(2);
  EXPECT_EQ(viewer_.DisplayGraphic().Width(), 40);

  viewer_.LoadFromFile(fileName, 2);
  EXPECT_EQ(viewer_.Graphic().PageCount(), 0);
  EXPECT_EQ(viewer_.DisplayGraphic().Width(), 40);
}

TEST_F(ImageScrollBoxTest, LoadErrorsLeaveAnEmptyGraphicAndReachTheCaller) {
  int newGraphics = 0;
  viewer_.OnNewGraphic = [&](TImageScrollBox&, TDibGraphic&) { ++newGraphics; };
  viewer_.LoadFromFile(Tiff("good.tif", {GreyPage(100, 100)}), 0);
  EXPECT_EQ(newGraphics, 1);

  // A grey page that claims fax coding, which grey images cannot carry.
  std::vector<uint8_t> faxGrey = TiffBytes({GreyPage(10, 10)});
  SetTagValue(faxGrey, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  const std::string refused = folder_.File("fax-grey.tif");
  WriteWholeFile(refused, std::string(faxGrey.begin(), faxGrey.end()));
  EXPECT_EQ(LoadError<EImagingError>(refused),
            "CCITT Group 4 compression not supported with 256 shades of gray images");
  ExpectShowsNothing();
  EXPECT_EQ(viewer_.FileName(), refused);

  const std::string missing = folder_.File("missing.tif");
  EXPECT_EQ(LoadError<EFOpenError>(missing), "Cannot open file " + missing);
  ExpectShowsNothing();
  EXPECT_EQ(newGraphics, 1);
}

TEST_F(ImageScrollBoxTest, OtherFormatsLoadThroughThePictureRegistry) {
  TBitmap bitmap;
  bitmap.SetSize(3, 2);
  bitmap.Canvas().SetPixel(2, 1, {9, 8, 7});
  const std::string fileName = folder_.File("picture.bmp");
  bitmap.SaveToFile(fileName);
  std::vector<int> progress;
  viewer_.OnProgress = [&](TImageScrollBox&, int percent, const std::string&) {
    progress.push_back(percent);
  };
  viewer_.LoadFromFile(fileName, 0);
  EXPECT_EQ(viewer_.Graphic().ClassType(), TDibGraphic::StaticClass());
  EXPECT_EQ(viewer_.Graphic().Pixel(2, 1), (TRGBColor{9, 8, 7}));
  EXPECT_EQ(progress, (std::vector<int>{0, 25, 90, 100}));

  WriteWholeFile(folder_.File("notes.xyz"), "text");
  EXPECT_EQ(LoadError<EInvalidGraphic>(folder_.File("notes.xyz")),
            "Unknown picture file extension (.xyz)");
  ExpectShowsNothing();
}

TEST_F(ImageScrollBoxTest, AStreamUnderAFormatNameGoesThroughATemporaryFile) {
  TBitmap bitmap;
  bitmap.SetSize(4, 4);
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  stream.SetPosition(0);
  WriteWholeFile(folder_.File("En0.bmp"), "taken");
  bool copyExisted = false;
  viewer_.OnProgress = [&](TImageScrollBox&, int percent, const std::string&) {
    if (percent == 25) copyExisted = FileExists(folder_.File("En1.bmp"));
  };
  viewer_.LoadFromStream(stream, "bmp", 0);
  EXPECT_TRUE(copyExisted);
  EXPECT_FALSE(FileExists(folder_.File("En1.bmp")));
  EXPECT_EQ(ReadWholeFile(folder_.File("En0.bmp")), "taken");
  EXPECT_EQ(viewer_.Graphic().Width(), 4);

  // The copy goes also when the picture cannot read it.
  TMemoryStream junk(std::vector<uint8_t>(10, 'x'));
  EXPECT_THROW(viewer_.LoadFromStream(junk, "bmp", 0), EInvalidGraphic);
  EXPECT_FALSE(FileExists(folder_.File("En1.bmp")));
}

TEST_F(ImageScrollBoxTest, ImageLibraryStreamsNeedNoFile) {
  const std::string ppm = "P2 2 1 255 3 4";
  TMemoryStream stream(std::vector<uint8_t>(ppm.begin(), ppm.end()));
  viewer_.LoadFromStream(stream, "frame.pgm", 0);
  EXPECT_EQ(viewer_.Graphic().ClassType(), TPpmGraphic::StaticClass());
  EXPECT_EQ(viewer_.DisplayGraphic().Canvas().Pixel(1, 0), (TRGBColor{4, 4, 4}));
}

TEST_F(ImageScrollBoxTest, AFileReadAheadIsTakenOnce) {
  const std::string fileName = Tiff("next.tif", {GreyPage(12, 8)});
  viewer_.ReadAhead(fileName, 0);
  EXPECT_TRUE(viewer_.ReadAheadReady());
  ASSERT_EQ(remove(fileName.c_str()), 0);
  // The same name in other case: the graphic read ahead, though the file is gone.
  const std::string upper = folder_.Path() + "NEXT.TIF";
  viewer_.LoadFromFile(upper, 0);
  EXPECT_EQ(viewer_.Graphic().Width(), 12);
  EXPECT_EQ(viewer_.FileName(), upper);
  EXPECT_EQ(viewer_.ReadAheadFileName(), "");
  EXPECT_THROW(viewer_.LoadFromFile(fileName, 0), EFOpenError);

  // A file that fails to read ahead is not ready; loading it reports its error.
  viewer_.ReadAhead(fileName, 0);
  EXPECT_FALSE(viewer_.ReadAheadReady());
  EXPECT_THROW(viewer_.LoadFromFile(fileName, 0), EFOpenError);
}

TEST_F(ImageScrollBoxTest, ZoomModesSizeTheDisplay) {
  viewer_.LoadFromFile(Tiff("wide.tif", {GreyPage(200, 100)}), 0);
  int zoomChanges = 0;
  viewer_.OnZoomChange = [&](TImageScrollBox&) { ++zoomChanges; };
  auto displaySize = [&] {
    return std::make_pair(viewer_.DisplayGraphic().Width(), viewer_.DisplayGraphic().Height());
  };
  viewer_.SetZoomMode(zmPercent);
  viewer_.SetZoomPercent(50);
  EXPECT_EQ(displaySize(), std::make_pair(100, 50));
  viewer_.SetZoomMode(zmFitWidth);  // 76 / 200
  EXPECT_EQ(displaySize(), std::make_pair(76, 38));
  EXPECT_FALSE(viewer_.HorzScrollBarVisible());
  viewer_.SetZoomMode(zmFitHeight);  // 97 / 100
  EXPECT_EQ(displaySize(), std::make_pair(194, 97));
  EXPECT_TRUE(viewer_.HorzScrollBarVisible());
  viewer_.SetZoomMode(zmFullPage);
  EXPECT_EQ(displaySize(), std::make_pair(76, 38));
  viewer_.SetClientSize(400, 400);
  EXPECT_EQ(displaySize(), std::make_pair(400, 200));
  viewer_.SetZoomMode(zmFitToPage);
  EXPECT_EQ(displaySize(), std::make_pair(200, 100));
  EXPECT_EQ(zoomChanges, 6);

  viewer_.SetZoomMode(zmPercent);
  viewer_.SetZoomPercent(0.1);  // never smaller than 1 x 1
  EXPECT_EQ(displaySize(), std::make_pair(1, 1));
}

TEST_F(ImageScrollBoxTest, CentringPlacesASmallImageInTheMiddle) {
  viewer_.LoadFromFile(Tiff("small.tif", {GreyPage(10, 10)}), 0);
  EXPECT_EQ(viewer_.ImageBounds(), Rect(0, 0, 10, 10));
  viewer_.SetCentred(true);
  EXPECT_EQ(viewer_.ImageBounds(), Rect(33, 43, 43, 53));
  viewer_.LoadFromFile(Tiff("large.tif", {GreyPage(100, 10)}), 0);
  EXPECT_EQ(viewer_.ImageBounds(), Rect(0, 43, 100, 53));
}

TEST_F(ImageScrollBoxTest, AntiAliasingShrinksBlackAndWhiteToGreys) {
  viewer_.LoadFromFile(Tiff("fax.tif", {StripesPage(16, 16)}), 0);
  viewer_.SetZoomMode(zmPercent);
  viewer_.SetZoomPercent(50);
  const TRGBColor picked = viewer_.DisplayGraphic().Canvas().Pixel(3, 3);
  EXPECT_TRUE(picked == clBlack || picked == clWhite);
  viewer_.SetAntiAliased(true);
  EXPECT_EQ(viewer_.DisplayGraphic().Canvas().Pixel(3, 3), (TRGBColor{128, 128, 128}));
}

TEST(ImageLibraryFormatsTest, RegistersInBothRegistriesWhileAlive) {
  {
    TImageLibraryFormats formats;
    EXPECT_EQ(FileFormats().FindExt("tif"), TTiffGraphic::StaticClass());
    EXPECT_EQ(FileFormats().FindExt("TIFF"), TTiffGraphic::StaticClass());
    EXPECT_EQ(FileFormats().FindExt("pbm"), TPpmGraphic::StaticClass());
    const std::vector<TFileFormat>& rows = FileFormats().Rows();
    const auto ppm = std::find_if(rows.begin(), rows.end(),
                                  [](const TFileFormat& row) { return row.Extension == "ppm"; });
    ASSERT_NE(ppm, rows.end());
    EXPECT_EQ(ppm->Description, "Portable Pixelmap");
    EXPECT_EQ((ppm + 1)->Description, "Portable Greymap");
    EXPECT_EQ((ppm + 2)->Description, "Portable Bitmap");
    EXPECT_EQ((ppm + 3)->Description, "TIFF file");
    EXPECT_EQ((ppm + 4)->Extension, "tiff");

    ASSERT_EQ(DibFormats().Rows().size(), 5u);
    EXPECT_EQ(DibFormats().Rows()[0].Extension, "PPM");
    EXPECT_EQ(DibFormats().Find("chart.TiF"), TTiffGraphic::StaticClass());
    EXPECT_EQ(DibFormats().Find("pgm"), TPpmGraphic::StaticClass());  // the whole name
    EXPECT_FALSE(DibFormats().Find("chart.gif"));
    try {
      DibFormats().CreateGraphic("chart.gif");
      FAIL() << "made a graphic for .gif";
    } catch (const EImagingError& error) {
      EXPECT_EQ(error.Message(),
                "Graphic files of .gif format are not supported or not registered");
    }
    EXPECT_EQ(DibFormats().CreateGraphic("a.pbm")->ClassType(), TPpmGraphic::StaticClass());
  }
  EXPECT_FALSE(FileFormats().FindExt("tif"));
  EXPECT_FALSE(DibFormats().Find("x.ppm"));
}

}  // namespace
