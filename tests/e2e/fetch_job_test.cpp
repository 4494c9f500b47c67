#include <gtest/gtest.h>

#include <png.h>

#include <QTimer>

#include "app/main_form.h"
#include "gui/application.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "runtime/stream.h"
#include "runtime/text_file.h"
#include "schedule/schedule_event.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pdf_page.h"
#include "tests/support/png_peer.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "ui_main_form.h"

namespace {

using Texts = std::vector<std::string>;

constexpr int kWidth = 48;
constexpr int kHeight = 32;
constexpr int kBlock = 8;  // one colour per 8 x 8 block keeps JPEG's error small
// Chroma is subsampled over 16 x 16 pixels, so neighbouring blocks bleed into each other.
constexpr int kJpegTolerance = 24;

// A chart served as a GIF written by giflib: 8 x 8 blocks of 16 table colours.
PeerGif Chart() {
  PeerGif gif{kWidth, kHeight, 16, {}};
  PeerFrame frame;
  frame.Width = kWidth;
  frame.Height = kHeight;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) frame.Pixels.push_back((x / kBlock + 3 * (y / kBlock)) % 16);
  gif.Frames.push_back(frame);
  return gif;
}

TRGBColor ColorOf(uint32_t peer) {
  return {uint8_t(peer), uint8_t(peer >> 8), uint8_t(peer >> 16)};
}

TRGBColor ChartColor(int x, int y) {
  return ColorOf(PeerColor(Chart().Frames[0].Pixels[size_t(y) * kWidth + x]));
}

// The web palette's level of a component: (c + 3) div 51, times 51.
uint8_t WebLevel(uint8_t c) {
  return uint8_t((c + 3) / 51 * 51);
}

std::string Bytes(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> FileBytes(const std::string& name) {
  const std::string bytes = ReadWholeFile(name);
  return {bytes.begin(), bytes.end()};
}

using ColorAt = TRGBColor (*)(int x, int y);

void ExpectExactly(TBitmap& bitmap, ColorAt expected) {
  ASSERT_EQ(bitmap.Width(), kWidth);
  ASSERT_EQ(bitmap.Height(), kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(bitmap.Canvas().Pixel(x, y), expected(x, y)) << x << "," << y;
}

// A GIF as giflib reads it: each colour on the web palette, without dithering.
void ExpectWebPaletteGif(const std::string& name, ColorAt expected) {
  const std::vector<uint32_t> gif = ReadGiflibColors(FileBytes(name));
  ASSERT_EQ(gif.size(), size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const TRGBColor want = expected(x, y);
      ASSERT_EQ(ColorOf(gif[size_t(y) * kWidth + x]),
                (TRGBColor{WebLevel(want.Red), WebLevel(want.Green), WebLevel(want.Blue)}))
          << x << "," << y;
    }
}

// A JPEG close to the colours at the centre of each block.
void ExpectNearJpeg(const std::string& name, ColorAt expected) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(name);
  TBitmap decoded;
  decoded.Assign(jpeg);
  for (int y = kBlock / 2; y < kHeight; y += kBlock)
    for (int x = kBlock / 2; x < kWidth; x += kBlock) {
      const TRGBColor got = decoded.Canvas().Pixel(x, y);
      const TRGBColor want = expected(x, y);
      EXPECT_NEAR(got.Red, want.Red, kJpegTolerance) << x << "," << y;
      EXPECT_NEAR(got.Green, want.Green, kJpegTolerance) << x << "," << y;
      EXPECT_NEAR(got.Blue, want.Blue, kJpegTolerance) << x << "," << y;
    }
}

// The chart as a PNG written by libpng, in RGBA with its top-left block transparent:
// shown white.
TRGBColor PngChartColor(int x, int y) {
  return x < kBlock && y < kBlock ? clWhite : ChartColor(x, y);
}

std::vector<uint8_t> PngChart() {
  PeerPng png{kWidth, kHeight, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {}, {}};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const TRGBColor c = ChartColor(x, y);
      const uint16_t alpha = x < kBlock && y < kBlock ? 0 : 255;
      png.Samples.insert(png.Samples.end(), {c.Red, c.Green, c.Blue, alpha});
    }
  return WriteLibpngPng(png);
}

class FetchJobTest : public ::testing::Test {
 protected:
  FetchJobTest() {
    clock_.Set({2026, 12, 8, 10, 15, 5});
    server_.Serve("/charts/chart.gif", Bytes(WriteGiflibGif(Chart())));
    WriteTextFile(dir_.File("jpegcomp.txt"), {"80"});
    TApplication::Instance().SetMessageHook(
        [this](const std::string& text) { messages_.push_back(text); });
  }
  ~FetchJobTest() override {
    TApplication::Instance().SetMessageHook(nullptr);
    TApplication::Instance().ErrorDisplay().Dismiss();
  }

  std::string Line(const std::string& path, const std::string& filename,
                   const std::string& print = "n", const std::string& neg = "n") {
    return ScheduleEvent{{"1015", neg, "Chart", server_.Url(path), print, filename}}.ToLine();
  }

  // Starts the main window on the schedule, with the timers left to the test, and lets
  // the clock queue the minute's lines.
  void Start(const Texts& schedule) {
    WriteTextFile(dir_.File("schedule.txt"), schedule);
    form_ =
        std::make_unique<TMainForm>(TMainFormEnvironment{&clock_, &zone_, dir_.Path()});
    form_->ClockTimer().stop();
    form_->SlowClockTimer().stop();
    form_->Printer().Printer().setOutputFormat(QPrinter::PdfFormat);
    form_->Printer().Printer().setOutputFileName(QString::fromStdString(Pdf()));
    QObject::connect(form_.get(), &TMainForm::Status2Changed,
                     [this](const QString& text) { statuses_.push_back(text.toStdString()); });
    form_->show();
    form_->ClockTimerTimer();
  }
  void SlowTick() { form_->SlowClockTimerTimer(); }

  std::string Pdf() const { return dir_.File("print.pdf"); }
  std::string ShownError() const { return TApplication::Instance().ErrorDisplay().LatestMessage(); }
  std::string Log() const { return ReadWholeFile(dir_.File("isoview.log")); }
  size_t QueueLength() const { return form_->QueueLines().size(); }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_{{tzsStandard, 0, 0, 0}};
  THttpFileServer server_;
  std::unique_ptr<TMainForm> form_;
  Texts statuses_;
  Texts messages_;
};

TEST_F(FetchJobTest, QueuedChartIsDownloadedShownAndSavedAsGifJpegAndBmp) {
  Start({Line("/charts/chart.gif", dir_.File("chart-@Y@M@D-@H@N.gif")),
         Line("/charts/chart.gif", dir_.File("chart-@Y@M@D-@H@N.jpg")),
         Line("/charts/chart.gif", dir_.File("chart-@Y@M@D-@H@N.bmp"))});
  ASSERT_EQ(QueueLength(), 3u);
  SlowTick();
  const std::string local = dir_.File("chart.gif");
  const std::string url = server_.Url("/charts/chart.gif");
  EXPECT_EQ(statuses_,
            (Texts{"Downloading " + url + "...", "Downloading " + local + ".....", "Idle",
                   "Printing " + local + ".....",
                   "Saving " + dir_.File("chart-@Y@M@D-@H@N.gif") + "...", "Done", "Done"}));
  SlowTick();
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(form_->Form().Image1->size(), QSize(kWidth, kHeight));

  // BMP: the shown chart exactly.
  TBitmap bmp;
  bmp.LoadFromFile(dir_.File("chart-261208-1015.bmp"));
  ExpectExactly(bmp, ChartColor);

  // GIF, read by giflib: each colour on the web palette, without dithering.
  ExpectWebPaletteGif(dir_.File("chart-261208-1015.gif"), ChartColor);

  // JPEG: the bytes libjpeg makes of the chart at the file's quality, and close to it.
  TJPEGImage reference;
  reference.SetCompressionQuality(80);
  reference.Assign(bmp);
  TMemoryStream expected;
  reference.SaveToStream(expected);
  const std::string jpegName = dir_.File("chart-261208-1015.jpg");
  EXPECT_EQ(ReadWholeFile(jpegName),
            std::string(reinterpret_cast<const char*>(expected.Memory()), size_t(expected.Size())));
  ExpectNearJpeg(jpegName, ChartColor);

  const std::string log = Log();
  for (const std::string& text :
       Texts{"Fetching " + url, "Downloaded " + url + ": 200 OK, ", "Displayed 48 x 32",
             "Saved " + dir_.File("chart-261208-1015.gif"), "Saved " + jpegName})
    EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
}

TEST_F(FetchJobTest, EmptyFilenameSavesNothingAndNoOrDisabledPrinterPrintsNothing) {
  Start({Line("/charts/chart.gif", "", "N"), Line("/charts/chart.gif", dir_.File("x.bmp"), "y")});
  SlowTick();
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "Done"), 1);  // no save
  form_->Form().DisablePrinter->setChecked(true);
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_TRUE(FileExists(dir_.File("x.bmp")));
  EXPECT_FALSE(FileExists(Pdf()));
  EXPECT_EQ(Log().find("Printed"), std::string::npos);
}

TEST_F(FetchJobTest, PrintedJobMakesOnePdfPageInvertedForNegY) {
  Start({Line("/charts/chart.gif", "", "y", "y")});
  SlowTick();
  ASSERT_EQ(ShownError(), "");
  ASSERT_TRUE(FileExists(Pdf()));
  EXPECT_NE(Log().find("Printed " + dir_.File("chart.gif")), std::string::npos);
  const std::string info = RunCommand("pdfinfo '" + Pdf() + "'").output;
  EXPECT_EQ(std::atoi(info.c_str() + info.find("Pages:") + 6), 1) << info;

  const TRgbImage page = RasterisePdf(dir_, Pdf(), 30);
  ASSERT_GT(page.Height, 0) << "pdftoppm gave no page";
  EXPECT_GT(page.Width, page.Height);  // a landscape page for the wide chart
  const PageBox image = InkedBox(page);
  ASSERT_GT(image.right, image.left);
  // The centre of each 8 x 8 block of the chart, inverted.
  for (int by = 0; by < kHeight / kBlock; ++by)
    for (int bx = 0; bx < kWidth / kBlock; ++bx) {
      const double x = image.left + (bx + 0.5) * kBlock * (image.right - image.left) / kWidth;
      const double y = image.top + (by + 0.5) * kBlock * (image.bottom - image.top) / kHeight;
      const TRGBColor want = ChartColor(bx * kBlock, by * kBlock);
      EXPECT_TRUE(NearColor(
          page.At(x, y),
          {uint8_t(255 - want.Red), uint8_t(255 - want.Green), uint8_t(255 - want.Blue)}, 24))
          << bx << "," << by;
    }
}

TEST_F(FetchJobTest, PngChartIsShownAndSavedAsPngGifJpegAndBmp) {
  server_.Serve("/charts/chart.png", Bytes(PngChart()));
  Start({Line("/charts/chart.png", dir_.File("saved.png")),
         Line("/charts/chart.png", dir_.File("saved.gif")),
         Line("/charts/chart.png", dir_.File("saved.jpg")),
         Line("/charts/chart.png", dir_.File("saved.bmp"))});
  for (int job = 0; job < 4; ++job) SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(form_->Form().Image1->size(), QSize(kWidth, kHeight));

  TBitmap bmp;
  bmp.LoadFromFile(dir_.File("saved.bmp"));
  ExpectExactly(bmp, PngChartColor);
  const PeerRgb png = ReadLibpngRgb(FileBytes(dir_.File("saved.png")));
  ASSERT_EQ(png.Rgb.size(), size_t(kWidth) * kHeight * 3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &png.Rgb[(size_t(y) * kWidth + x) * 3];
      ASSERT_EQ((TRGBColor{p[0], p[1], p[2]}), PngChartColor(x, y)) << x << "," << y;
    }
  ExpectWebPaletteGif(dir_.File("saved.gif"), PngChartColor);
  ExpectNearJpeg(dir_.File("saved.jpg"), PngChartColor);
}

TEST_F(FetchJobTest, UnknownExtensionKeepsThePreviousImageAndSavesIt) {
  server_.Serve("/charts/new.webp", "RIFF not really");
  Start({Line("/charts/chart.gif", ""), Line("/charts/new.webp", dir_.File("again.bmp"))});
  SlowTick();
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(server_.Requests("/charts/new.webp"), 1);
  EXPECT_EQ(ReadWholeFile(dir_.File("new.webp")), "RIFF not really");
  TBitmap saved;
  saved.LoadFromFile(dir_.File("again.bmp"));
  ASSERT_EQ(saved.Width(), kWidth);
  EXPECT_EQ(saved.Canvas().Pixel(kWidth - 1, kHeight - 1), ChartColor(kWidth - 1, kHeight - 1));
}

// A broken download holds the head of the queue and is fetched afresh on every retry;
// a 404's HTML body, saved as the local file, fails the same way.
TEST_F(FetchJobTest, DownloadThatDoesNotDecodeStaysAtTheHeadAndIsFetchedAgain) {
  server_.Serve("/charts/bad.gif", "GIF89a and then nothing sensible");
  Start({Line("/charts/bad.gif", dir_.File("bad.bmp")), Line("/charts/missing.gif", ""),
         Line("/charts/chart.gif", dir_.File("chart.bmp"))});
  for (int retry = 1; retry <= 3; ++retry) {
    SlowTick();
    EXPECT_EQ(server_.Requests("/charts/bad.gif"), retry);
  }
  EXPECT_EQ(QueueLength(), 3u);
  EXPECT_EQ(server_.Requests("/charts/chart.gif"), 0);
  EXPECT_FALSE(FileExists(dir_.File("bad.bmp")));
  EXPECT_NE(ShownError(), "");
  EXPECT_TRUE(form_->SlowClockTimer().isActive());

  // Ten minutes of failures give the line up; the next one then runs (and fails: the
  // server's 404 page is no GIF).
  clock_.AdvanceMinutes(10);
  TApplication::Instance().ErrorDisplay().Dismiss();
  SlowTick();
  const std::string giveUp = "Giving up on " + server_.Url("/charts/bad.gif") + " after 4 attempts";
  EXPECT_NE(ShownError().find(giveUp), std::string::npos) << ShownError();
  EXPECT_NE(Log().find("Error (Chart): " + giveUp), std::string::npos);
  EXPECT_EQ(QueueLength(), 2u);

  TApplication::Instance().ErrorDisplay().Dismiss();
  SlowTick();
  EXPECT_EQ(server_.Requests("/charts/missing.gif"), 1);
  EXPECT_NE(ReadWholeFile(dir_.File("missing.gif")).find("Not found"), std::string::npos);
  EXPECT_NE(ShownError(), "");
  EXPECT_EQ(QueueLength(), 2u);  // the 404 line's own ten minutes start now
}

TEST_F(FetchJobTest, MissingJpegQualityFileFailsTheSaveUntilItExists) {
  std::remove(dir_.File("jpegcomp.txt").c_str());
  Start({Line("/charts/chart.gif", dir_.File("chart.jpg"))});
  SlowTick();
  EXPECT_EQ(QueueLength(), 1u);
  EXPECT_EQ(ShownError(), "Cannot open file " + dir_.File("jpegcomp.txt"));
  EXPECT_FALSE(FileExists(dir_.File("chart.jpg")));
  WriteTextFile(dir_.File("jpegcomp.txt"), {"50"});
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_TRUE(FileExists(dir_.File("chart.jpg")));
}

// A job that starts while the client is still busy gets the "Internet error: " box, and
// the running download keeps its file.
TEST_F(FetchJobTest, BusyClientShowsTheInternetErrorBox) {
  server_.Serve("/slow.gif", "slow body");
  server_.Hold("/slow.gif");
  Start({Line("/charts/chart.gif", "")});
  THttpCli& http = form_->HTTP();
  TMemoryStream running;
  QTimer::singleShot(0, [&] {
    SlowTick();
    server_.Release();
  });
  http.URL = server_.Url("/slow.gif");
  http.RcvdStream = &running;
  http.Get();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Internet error: 0 ", 0), 0u) << messages_[0];
  EXPECT_EQ(QueueLength(), 1u);  // nothing was downloaded, so nothing could be shown
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(running.Memory()), size_t(running.Size())),
            "slow body");
}

// An https:// line: the chart comes over TLS from a server the test's own authority vouches
// for, and is shown and saved as from any other server.
TEST_F(FetchJobTest, HttpsLineIsDownloadedShownAndSaved) {
  TTestCa ca(dir_, "e2e");
  THttpFileServer secure(ca.Issue("server", {"localhost"}));
  secure.Serve("/charts/chart.gif", Bytes(WriteGiflibGif(Chart())));
  setenv("SSL_CERT_FILE", ca.CertificateFile().c_str(), 1);
  const std::string url = secure.Url("/charts/chart.gif");
  Start({ScheduleEvent{{"1015", "n", "Chart", url, "n", dir_.File("secure-@H@N.bmp")}}.ToLine()});
  SlowTick();
  unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(secure.Requests("/charts/chart.gif"), 1);
  EXPECT_EQ(form_->Form().Image1->size(), QSize(kWidth, kHeight));
  TBitmap saved;
  saved.LoadFromFile(dir_.File("secure-1015.bmp"));
  ASSERT_EQ(saved.Width(), kWidth);
  ASSERT_EQ(saved.Height(), kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) ASSERT_EQ(saved.Canvas().Pixel(x, y), ChartColor(x, y));
  EXPECT_NE(Log().find("Downloaded " + url + ": 200 OK, "), std::string::npos) << Log();
}

}  // namespace
