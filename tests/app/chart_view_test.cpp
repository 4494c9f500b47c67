// The main window's chart view: 100 %, fitted and zoomed; and an animated GIF chart, whose
// frames the view shows one after another.

#include "app/qt_chart_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <set>

#include "app/animated_gif.h"
#include "app/main_form.h"
#include "app/qt_chart_animation.h"
#include "gif/gif_image.h"
#include "runtime/text_file.h"
#include "schedule/schedule_event.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"

namespace {

// White, with a black line one pixel wide down column 100 and a red pixel at (3, 2).
QImage Chart() {
  QImage chart(400, 300, QImage::Format_RGB32);
  chart.fill(Qt::white);
  for (int y = 0; y < chart.height(); ++y) chart.setPixelColor(100, y, Qt::black);
  chart.setPixelColor(3, 2, Qt::red);
  return chart;
}

QSize ViewportSize(const TQtChartView& view) {
  return view.findChild<QScrollArea*>("ChartArea")->viewport()->size();
}

// Two frames of 8 x 6 in the colours of entries 1 and 2, shown for the painter's default
// delay each.
std::string TwoFrameGif() {
  PeerGif gif{8, 6, 4, {}};
  for (uint8_t index : {1, 2})
    gif.Frames.push_back(
        PeerFrame{0, 0, 8, 6, false, 0, -1, 0, 0, std::vector<uint8_t>(48, index)});
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

// A one-frame GIF in the colour of entry 0.
std::string StillGif() {
  const std::vector<uint8_t> bytes = PlainGiflibGif(8, 6);
  return {bytes.begin(), bytes.end()};
}

QColor PeerQColor(int index) {
  const uint32_t color = PeerColor(index);
  return {static_cast<int>(color & 255), static_cast<int>(color >> 8 & 255),
          static_cast<int>(color >> 16 & 255)};
}

}  // namespace

TEST(ChartView, FitsZoomsAndShowsAtActualSize) {
  TQtChartView view;
  view.resize(300, 260);
  view.show();
  view.ShowPicture(Chart());
  QCoreApplication::processEvents();
  struct TStep {
    const char* what;
    QPushButton& button;
    double scale;  // 0: fitted to the viewport
  };
  const std::vector<TStep> steps{
      {"the design's 100 %", view.ActualSizeButton(), 1.0},
      {"zoom in", view.ZoomInButton(), 1.25},
      {"zoom in again", view.ZoomInButton(), 1.5625},
      {"fit", view.FitButton(), 0},
      {"zoom out of the fitted scale", view.ZoomOutButton(), -1},
      {"100 % again", view.ActualSizeButton(), 1.0},
  };
  double fitted = 0;
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.button.click();
    QCoreApplication::processEvents();
    double scale = step.scale;
    if (scale == 0) {
      const QSize viewport = ViewportSize(view);  // without scroll bars now
      fitted = std::min(viewport.width() / 400.0, viewport.height() / 300.0);
      scale = fitted;
    } else if (scale < 0) {
      scale = fitted / TQtChartView::kZoomStep;
    }
    EXPECT_NEAR(view.Scale(), scale, 1e-9);
    EXPECT_EQ(view.Fitted(), step.scale == 0);
    EXPECT_EQ(view.FitButton().isChecked(), step.scale == 0);
    EXPECT_EQ(view.ShownSize(), QSize(qRound(400 * scale), qRound(300 * scale)));
    EXPECT_EQ(view.ZoomLabel().text().toStdString(), std::to_string(qRound(scale * 100)) + " %");
  }
  EXPECT_EQ(view.Picture().size(), QSize(400, 300)) << "zooming leaves the chart as it came";
}

// Fitted, the whole chart stays in view as the window changes and as new charts come;
// zoomed, a new chart keeps the zoom.
TEST(ChartView, TheChosenZoomHoldsForTheNextChartAndTheWindowsSize) {
  TQtChartView view;
  view.resize(300, 260);
  view.show();
  view.ShowPicture(Chart());
  view.Fit();
  for (const QSize size : {QSize(500, 500), QSize(200, 400)}) {
    view.resize(size);
    QCoreApplication::processEvents();
    const QSize viewport = ViewportSize(view);
    EXPECT_LE(view.ShownSize().width(), viewport.width()) << size.width();
    EXPECT_LE(view.ShownSize().height(), viewport.height()) << size.width();
    EXPECT_TRUE(view.ShownSize().width() == viewport.width() ||
                view.ShownSize().height() == viewport.height());
  }
  view.ShowPicture(Chart().scaled(800, 300));
  EXPECT_LE(view.ShownSize().width(), ViewportSize(view).width());
  view.ZoomIn();
  const double zoomed = view.Scale();
  view.ShowPicture(Chart());
  EXPECT_EQ(view.Scale(), zoomed);
  for (int i = 0; i < 40; ++i) view.ZoomIn();
  EXPECT_EQ(view.Scale(), TQtChartView::kMaximumScale);
  EXPECT_FALSE(view.ZoomInButton().isEnabled());
}

// Made larger, pixels stay sharp; made smaller, a line one pixel wide is averaged into
// what is shown rather than dropped between samples.
TEST(ChartView, ZoomedPixelsStaySharpAndFittedLinesStayVisible) {
  TQtChartView view;
  view.resize(240, 240);
  view.show();
  view.ShowPicture(Chart());
  view.ActualSize();
  view.ZoomIn();
  view.ZoomIn();
  view.ZoomIn();
  view.ZoomIn();  // 244 %
  QCoreApplication::processEvents();
  QWidget& picture = *view.findChild<QScrollArea*>("ChartArea")->widget();
  const QImage zoomed = picture.grab(QRect(0, 0, 12, 12)).toImage();
  EXPECT_EQ(zoomed.pixelColor(qRound(3.5 * view.Scale()), qRound(2.5 * view.Scale())),
            QColor(Qt::red));
  EXPECT_EQ(zoomed.pixelColor(qRound(2.5 * view.Scale()), qRound(2.5 * view.Scale())),
            QColor(Qt::white));

  view.ActualSize();
  for (int i = 0; i < 9; ++i) view.ZoomOut();  // 13 %: the line falls between samples
  QCoreApplication::processEvents();
  const QImage reduced = picture.grab().toImage();
  int darkest = 255;
  for (int x = 0; x < reduced.width(); ++x)
    darkest = std::min(darkest, reduced.pixelColor(x, reduced.height() / 2).value());
  EXPECT_LT(darkest, 240) << "the line is gone at " << view.Scale();
}

// The painter plays the frames on its own thread and hands each over; the view gets both.
TEST(ChartAnimation, PlaysTheFramesOfAnAnimatedGifUntilStopped) {
  TempDir dir;
  WriteWholeFile(dir.File("loop.gif"), TwoFrameGif());
  WriteWholeFile(dir.File("still.gif"), StillGif());
  EXPECT_EQ(ReadAnimatedGif(dir.File("still.gif")), nullptr);
  EXPECT_EQ(ReadAnimatedGif(dir.File("missing.gif")), nullptr);
  WriteWholeFile(dir.File("cut.gif"), TwoFrameGif().substr(0, 40));
  EXPECT_EQ(ReadAnimatedGif(dir.File("cut.gif")), nullptr);

  std::vector<QColor> shown;
  TQtChartAnimation animation([&](const QImage& frame) {
    EXPECT_EQ(frame.size(), QSize(8, 6));
    shown.push_back(frame.pixelColor(4, 3));
  });
  std::shared_ptr<TGIFImage> image = ReadAnimatedGif(dir.File("loop.gif"));
  ASSERT_NE(image, nullptr);
  animation.Play(image);
  EXPECT_TRUE(animation.Playing());
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return shown.size() >= 5; }));
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(shown[i], PeerQColor(1 + static_cast<int>(i % 2))) << i;

  animation.Stop();
  EXPECT_FALSE(animation.Playing());
  const size_t atStop = shown.size();
  MessageLoop::Current().ProcessMessages();
  EXPECT_EQ(shown.size(), atStop) << "a frame came after the stop";
  // A new image plays at once, the old painter still ending.
  animation.Play(ReadAnimatedGif(dir.File("loop.gif")));
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return shown.size() >= atStop + 2; }));
}

// A chart that is an animated GIF plays in the main window once it is saved, and the next
// chart, a still one, stops it.
TEST(ChartAnimation, TheMainWindowPlaysAnAnimatedChartUntilTheNextChart) {
  TempDir dir;
  THttpFileServer server;
  server.Serve("/loop.gif", TwoFrameGif());
  server.Serve("/still.gif", StillGif());
  WriteTextFile(
      dir.File("schedule.txt"),
      {ScheduleEvent{{"0930", "n", "Loop", server.Url("/loop.gif"), "n", ""}}.ToLine(),
       ScheduleEvent{{"0931", "n", "Still", server.Url("/still.gif"), "n", ""}}.ToLine()});
  FakeClock clock;
  clock.Set({2026, 12, 8, 9, 30, 5});
  FakeTimeZone zone{{tzsStandard, 0, 0, 0}};
  FakeSteadyClock steady;
  TMainForm form(TMainFormEnvironment{&clock, &zone, dir.Path(), {}, &steady, 0});
  form.show();
  form.Station().Tick();
  std::set<QRgb> colours;
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] {
    if (!form.ChartView().Picture().isNull())
      colours.insert(form.ChartView().Picture().pixel(4, 3));
    return form.Animation().FramesShown() >= 4 && colours.size() == 2;
  }));
  EXPECT_EQ(colours, (std::set<QRgb>{PeerQColor(1).rgb(), PeerQColor(2).rgb()}));

  clock.AdvanceMinutes(1);
  form.Station().Tick();
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return form.Station().Settled(); }));
  EXPECT_FALSE(form.Animation().Playing());
  EXPECT_EQ(form.ChartView().Picture().pixelColor(4, 3), PeerQColor(0));
}
