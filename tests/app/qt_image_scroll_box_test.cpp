#include "gui/qt_image_scroll_box.h"

#include <gtest/gtest.h>

#include <QScrollBar>

#include "app/main_form.h"
#include "imaging/image_library.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

// A raw pixmap whose pixel (x, y) is (x, y, 90).
TMemoryStream Pixmap(int width, int height) {
  std::string bytes = "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bytes += {static_cast<char>(x), static_cast<char>(y), 90};
  return TMemoryStream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

class QtImageScrollBoxTest : public ::testing::Test {
 protected:
  QtImageScrollBoxTest() {
    box_.resize(76, 97);
    box_.show();
  }
  void Load(int width, int height) {
    TMemoryStream stream = Pixmap(width, height);
    box_.ImageScrollBox().LoadFromStream(stream, "image.ppm", 0);
  }

  TImageLibraryFormats formats_;
  TQtImageScrollBox box_;
};

TEST_F(QtImageScrollBoxTest, ShowsTheDisplayGraphicWithTheScrollBarsItNeeds) {
  // The viewer works with the area inside the frame.
  EXPECT_EQ(box_.ImageScrollBox().ClientWidth(), box_.contentsRect().width());
  EXPECT_EQ(box_.ImageScrollBox().ClientHeight(), box_.contentsRect().height());
  EXPECT_FALSE(box_.Image().isVisible());

  Load(100, 20);
  ASSERT_TRUE(box_.Image().isVisible());
  EXPECT_EQ(box_.Image().size(), QSize(100, 20));
  const QImage shown = box_.Image().pixmap().toImage();
  EXPECT_EQ(shown.pixelColor(37, 11), QColor(37, 11, 90));
  EXPECT_EQ(box_.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(box_.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

  Load(10, 10);
  EXPECT_EQ(box_.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(QtImageScrollBoxTest, ShowsNothingAfterALoadError) {
  Load(10, 10);
  TMemoryStream junk(std::vector<uint8_t>{'P', '9'});
  EXPECT_THROW(box_.ImageScrollBox().LoadFromStream(junk, "image.ppm", 0), EImagingError);
  EXPECT_FALSE(box_.Image().isVisible());
}

TEST_F(QtImageScrollBoxTest, ResizingTheWindowRefitsTheImage) {
  box_.ImageScrollBox().SetZoomMode(zmFitWidth);
  Load(200, 100);
  box_.resize(204, 300);
  EXPECT_EQ(box_.Image().width(), box_.contentsRect().width());
  EXPECT_EQ(box_.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(QtImageScrollBoxTest, ScrollingIsReportedToTheViewer) {
  int begins = 0;
  int ends = 0;
  box_.ImageScrollBox().OnBeginScroll = [&](TImageScrollBox&) { ++begins; };
  box_.ImageScrollBox().OnEndScroll = [&](TImageScrollBox&) { ++ends; };
  Load(300, 300);
  emit box_.horizontalScrollBar()->sliderPressed();
  emit box_.horizontalScrollBar()->sliderReleased();
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
}

TEST(MainFormImageScrollBoxTest, TheMainWindowsViewerIsThisWidget) {
  TempDir folder;
  FakeClock clock;
  FakeTimeZone zone{{tzsStandard, 0, 0, 0}};
  TMainForm form(TMainFormEnvironment{&clock, &zone, folder.Path()});
  TQtImageScrollBox* box = form.Form().ImageScrollBox1;
  EXPECT_EQ(box->size(), QSize(76, 97));
  EXPECT_EQ(box->ImageScrollBox().Zoom(), 100);
  EXPECT_EQ(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

}  // namespace
