#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <functional>
#include <utility>

#include <QStatusBar>
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
#include "tests/support/server_process.h"
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
    form_ = std::make_unique<TMainForm>(TMainFormEnvironment{&clock_, &zone_, dir_.Path()});
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
  // The files the printouts went to: each one beside Pdf(), named with its UTC time.
  Texts Printouts() const {
    Texts names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("print-") && name.ends_with(".pdf"))
        names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
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
  SlowTick();  // one tick runs every due line, one after the other
  const std::string local = dir_.File("chart.gif");
  const std::string url = server_.Url("/charts/chart.gif");
  ASSERT_EQ(statuses_.size(), 21u);
  EXPECT_EQ(Texts(statuses_.begin(), statuses_.begin() + 7),
            (Texts{"Downloading " + url + "...", "Downloading " + local + ".....", "Idle",
                   "Printing " + local + ".....",
                   "Saving " + dir_.File("chart-@Y@M@D-@H@N.gif") + "...", "Done", "Done"}));
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

  EXPECT_EQ(form_->statusBar()->findChild<QLabel*>("LastSaved")->text().toStdString(),
            "Saved 2026-12-08 10:15:05 UTC: " + dir_.File("chart-261208-1015.bmp"));

  // Each save is listed for the archive at its UTC time.
  std::string listed;
  for (const std::string kind : {"gif", "jpg", "bmp"})
    listed += "2026-12-08 10:15:05 UTC\t" + dir_.File("chart-261208-1015." + kind) + "\n";
  EXPECT_EQ(ReadWholeFile(dir_.File("saved.txt")), listed);

  const std::string log = Log();
  for (const std::string& text :
       Texts{"Fetching " + url, "Downloaded " + url + ": 200 OK, ", "Displayed 48 x 32",
             "Saved " + dir_.File("chart-261208-1015.gif"), "Saved " + jpegName})
    EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
}

// During a download the status bar shows the bytes received and the share of the length,
// at most ten times a second of the window's clock, and nothing once it has ended.
TEST_F(FetchJobTest, DownloadProgressIsShownAtMostTenTimesASecond) {
  constexpr int64_t kBodySize = 4 << 20;  // many reads of at most 64 KiB
  server_.Serve("/charts/big.bin", std::string(kBodySize, 'x'));
  Start({Line("/charts/big.bin", "")});
  Texts progress;
  QObject::connect(form_.get(), &TMainForm::DownloadProgressChanged,
                   [&](const QString& text) { progress.push_back(text.toStdString()); });
  clock_.StepEachRead(10);
  const int64_t before = clock_.Now().ms;
  SlowTick();
  const int64_t span = clock_.Now().ms - before;
  clock_.StepEachRead(0);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_LE(int64_t(progress.size()), span / 100 + 1) << span << " ms";
  int lastShare = -1;
  for (const std::string& text : progress) {
    int64_t received = 0;
    int share = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "Received %ld bytes (%d%%)", &received, &share), 2) << text;
    EXPECT_EQ(share, received * 100 / kBodySize) << text;
    EXPECT_GE(share, lastShare) << text;
    lastShare = share;
  }
  EXPECT_EQ(form_->statusBar()->findChild<QLabel*>("DownloadProgress")->text(), "");
}

// A target name without a folder is saved in the current folder; the log and the status bar
// name the file by its absolute path, so that the operator can find it.
TEST_F(FetchJobTest, ARelativeTargetIsNamedByItsAbsolutePath) {
  struct TWorkingFolder {
    explicit TWorkingFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~TWorkingFolder() { std::filesystem::current_path(previous); }
    std::filesystem::path previous = std::filesystem::current_path();
  };
  {
    const TWorkingFolder inTheTestFolder(dir_.Path());
    Start({Line("/charts/chart.gif", "rel-@H@N.bmp")});
    SlowTick();
  }
  const std::string saved = dir_.File("rel-1015.bmp");
  EXPECT_TRUE(FileExists(saved));
  EXPECT_NE(Log().find("UTC Saved " + saved + "\n"), std::string::npos) << Log();
  EXPECT_EQ(form_->statusBar()->findChild<QLabel*>("LastSaved")->text().toStdString(),
            "Saved 2026-12-08 10:15:05 UTC: " + saved);
}

TEST_F(FetchJobTest, EmptyFilenameSavesNothingAndNoOrDisabledPrinterPrintsNothing) {
  Start({Line("/charts/chart.gif", "", "N"),
         ScheduleEvent{
             {"1016", "n", "Chart", server_.Url("/charts/chart.gif"), "y", dir_.File("x.bmp")}}
             .ToLine()});
  SlowTick();
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "Done"), 1);  // no save
  form_->Form().DisablePrinter->setChecked(true);
  clock_.AdvanceMinutes(1);
  form_->ClockTimerTimer();
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_TRUE(FileExists(dir_.File("x.bmp")));
  EXPECT_EQ(Printouts(), Texts{});
  EXPECT_EQ(Log().find("Printed"), std::string::npos);
}

TEST_F(FetchJobTest, PrintedJobMakesOnePdfPageInvertedForNegY) {
  Start({Line("/charts/chart.gif", "", "y", "y")});
  SlowTick();
  ASSERT_EQ(ShownError(), "");
  const std::string printout = dir_.File("print-20261208-101505.pdf");
  ASSERT_EQ(Printouts(), Texts{printout});
  EXPECT_NE(Log().find("Printed " + dir_.File("chart.gif")), std::string::npos);
  EXPECT_NE(Log().find("Printout written to " + printout + "\n"), std::string::npos) << Log();
  const std::string info = RunCommand("pdfinfo '" + printout + "'").output;
  EXPECT_EQ(std::atoi(info.c_str() + info.find("Pages:") + 6), 1) << info;

  const TRgbImage page = RasterisePdf(dir_, printout, 30);
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

struct TDownloadCase {
  std::string path;  // served under the line's URL unless status is 0 (nothing served)
  std::string body;
  int status;
  std::string contentType;
  std::string cause;  // what the error says after "Chart (URL): "; empty: the chart is saved
};

// Every failed download names the line's title, its URL and the cause, and saves nothing:
// no error page decoded, no empty picture, no earlier chart under a new name, and the local
// file of the last good download stays. A script's URL is shown by the file's bytes.
TEST_F(FetchJobTest, AFailedDownloadNamesItsCauseAndSavesNothing) {
  const std::string gif = Bytes(WriteGiflibGif(Chart()));
  const std::vector<TDownloadCase> cases{
      {"/charts/chart.gif", gif, 200, "image/gif", ""},
      {"/other/chart.gif", "", 0, "", "404 Not Found"},
      {"/broken/chart.gif", "<h1>Oops</h1>", 500, "text/html", "500 Internal Server Error"},
      {"/charts/empty.jpg", "", 200, "image/jpeg", "the download"},
      {"/charts/page.php?id=5", "<html>hello</html>", 200, "text/html",
       "the download is not an image (text/html)"},
      {"/charts/map.php?id=5", gif, 200, "image/gif", ""},
      {"/charts/noextension", Bytes(PngChart()), 200, "image/png", ""},
  };
  Texts schedule;
  for (size_t i = 0; i < cases.size(); ++i) {
    if (cases[i].status != 0)
      server_.Serve(cases[i].path, cases[i].body, cases[i].status, cases[i].contentType);
    schedule.push_back(Line(cases[i].path, dir_.File("case" + std::to_string(i) + ".bmp")));
  }
  Start(schedule);
  SlowTick();
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "Chart (" + server_.Url(cases[i].path) + "): ";
    const bool saved = FileExists(dir_.File("case" + std::to_string(i) + ".bmp"));
    if (cases[i].cause.empty()) {
      EXPECT_TRUE(saved) << cases[i].path;
      EXPECT_EQ(Log().find("Error (Chart): " + name), std::string::npos) << Log();
    } else {
      EXPECT_FALSE(saved) << cases[i].path;
      EXPECT_NE(Log().find("Error (Chart): " + name + cases[i].cause), std::string::npos)
          << name + cases[i].cause << "\n"
          << Log();
    }
  }
  EXPECT_EQ(ReadWholeFile(dir_.File("chart.gif")), gif);
  EXPECT_EQ(ReadWholeFile(dir_.File("map.php?id=5")), gif);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    EXPECT_EQ(entry.path().string().find(".isoview-"), std::string::npos) << entry.path();
}

TEST_F(FetchJobTest, ARefusedConnectionIsNamedAsSuch) {
  const int port = FreeLoopbackPort();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/charts/chart.gif";
  Start({ScheduleEvent{{"1015", "n", "Surface analysis", url, "n", dir_.File("c.bmp")}}.ToLine()});
  SlowTick();
  EXPECT_EQ(ShownError().rfind("Surface analysis (" + url + "): ", 0), 0u) << ShownError();
  EXPECT_NE(ShownError().find("Connection refused (Error #10061)"), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("c.bmp")));
}

// One dead source: the other lines of its minute are saved at once; it waits 2, 4, 8, 16,
// 32 and then 60 seconds between attempts and is given up ten minutes after its first
// failure.
TEST_F(FetchJobTest, AFailingSourceStepsAsideIsRetriedWithBackOffAndGivenUp) {
  const std::string missing = "/charts/missing.gif";
  Start({Line(missing, dir_.File("missing.bmp")), Line("/charts/chart.gif", dir_.File("a.bmp")),
         Line("/charts/chart.gif", dir_.File("b.bmp"))});
  SlowTick();
  EXPECT_TRUE(FileExists(dir_.File("a.bmp")));
  EXPECT_TRUE(FileExists(dir_.File("b.bmp")));
  EXPECT_EQ(QueueLength(), 1u);
  EXPECT_EQ(statuses_.back(), "Retrying Chart in 2 s");
  int attempts = 1;
  int elapsed = 0;
  for (int delay : {2, 4, 8, 16, 32, 60, 60}) {
    clock_.AdvanceMilliseconds((delay - 1) * 1000);
    SlowTick();
    EXPECT_EQ(server_.Requests(missing), attempts) << "retried before " << delay << " s";
    clock_.AdvanceMilliseconds(1000);
    SlowTick();
    EXPECT_EQ(server_.Requests(missing), ++attempts) << "not retried after " << delay << " s";
    elapsed += delay;
  }
  while (QueueLength() > 0 && elapsed < 900) {
    clock_.AdvanceMilliseconds(60 * 1000);
    elapsed += 60;
    SlowTick();
    ++attempts;
  }
  EXPECT_EQ(elapsed, 602);
  const std::string giveUp = "Giving up on Chart (" + server_.Url(missing) + ") after " +
                             std::to_string(attempts) + " attempts";
  EXPECT_NE(ShownError().find(giveUp), std::string::npos) << ShownError();
  EXPECT_NE(Log().find("Error (Chart): " + giveUp), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("missing.bmp")));
}

// A dead source with lines of several minutes queued gets one attempt per back-off, not one
// per line (each could cost a silent server's whole time-out); the other lines run
// meanwhile, and once it answers again its waiting lines all run at once.
TEST_F(FetchJobTest, ADeadSourceGetsOneAttemptPerBackOffForAllItsLines) {
  const std::string dead = "/charts/dead.gif";
  Start({Line(dead, dir_.File("d1.bmp")), Line(dead, dir_.File("d2.bmp")),
         Line(dead, dir_.File("d3.bmp")), Line("/charts/chart.gif", dir_.File("c.bmp"))});
  SlowTick();
  EXPECT_TRUE(FileExists(dir_.File("c.bmp")));
  EXPECT_EQ(server_.Requests(dead), 1);
  int requests = 1;
  for (int delay : {2, 4, 8, 16, 32, 60, 60}) {
    clock_.AdvanceMilliseconds(delay * 1000);
    SlowTick();
    EXPECT_EQ(server_.Requests(dead), ++requests) << "after " << delay << " s";
  }
  server_.Serve(dead, Bytes(WriteGiflibGif(Chart())));
  clock_.AdvanceMilliseconds(kLongestRetrySeconds * 1000);
  SlowTick();
  EXPECT_EQ(server_.Requests(dead), requests + 3);
  EXPECT_EQ(QueueLength(), 0u);
  for (const char* saved : {"d1.bmp", "d2.bmp", "d3.bmp"})
    EXPECT_TRUE(FileExists(dir_.File(saved))) << saved;
}

// The status bar counts the sources whose lines wait for a retry, each source once, and
// the count falls as they recover.
TEST_F(FetchJobTest, TheStatusBarCountsTheFailingSources) {
  Start({Line("/a.gif", dir_.File("a1.bmp")), Line("/a.gif", dir_.File("a2.bmp")),
         Line("/b.gif", dir_.File("b.bmp")), Line("/charts/chart.gif", dir_.File("c.bmp"))});
  const auto failing = [this] {
    return form_->findChild<QLabel*>("FailingSources")->text().toStdString();
  };
  EXPECT_EQ(failing(), "");
  SlowTick();
  EXPECT_EQ(failing(), "2 sources failing \u2014 see the error display");
  const std::string chart = Bytes(WriteGiflibGif(Chart()));
  for (const auto& [path, left] : std::vector<std::pair<std::string, std::string>>{
           {"/b.gif", "1 source failing \u2014 see the error display"}, {"/a.gif", ""}}) {
    server_.Serve(path, chart);
    clock_.AdvanceMilliseconds(kLongestRetrySeconds * 1000);
    SlowTick();
    EXPECT_EQ(failing(), left) << path;
  }
  EXPECT_EQ(QueueLength(), 0u);
}

// A failed save is retried under the name expanded at its first attempt, a failed print
// alone: one download, one file.
TEST_F(FetchJobTest, ARetryRedoesOnlyTheStepThatFailed) {
  std::remove(dir_.File("jpegcomp.txt").c_str());
  Start({Line("/charts/chart.gif", dir_.File("chart-@H@N@S.jpg"), "y")});
  QPrinter& printer = form_->Printer().Printer();
  printer.setOutputFileName("");  // no printer
  SlowTick();
  EXPECT_EQ(QueueLength(), 1u);
  WriteTextFile(dir_.File("jpegcomp.txt"), {"80"});
  clock_.AdvanceMilliseconds(2000);
  SlowTick();
  EXPECT_EQ(QueueLength(), 1u);
  EXPECT_TRUE(FileExists(dir_.File("chart-101505.jpg")));
  printer.setOutputFileName(QString::fromStdString(Pdf()));
  clock_.AdvanceMilliseconds(4000);
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(Printouts().size(), 1u);
  EXPECT_EQ(server_.Requests("/charts/chart.gif"), 1);
  size_t saves = 0;
  for (size_t at = Log().find("Saved "); at != std::string::npos; at = Log().find("Saved ", at + 1))
    ++saves;
  EXPECT_EQ(saves, 1u);
  EXPECT_FALSE(FileExists(dir_.File("chart-101507.jpg")));
  EXPECT_FALSE(FileExists(dir_.File("chart-101511.jpg")));
}

// A hundred small charts due in one minute are all saved by the first slow tick.
TEST_F(FetchJobTest, AHundredEventsOfOneMinuteDrainInOneTick) {
  Texts schedule;
  for (int i = 0; i < 100; ++i)
    schedule.push_back(Line("/charts/chart.gif", dir_.File("c" + std::to_string(i) + ".bmp")));
  Start(schedule);
  SlowTick();
  EXPECT_EQ(QueueLength(), 0u);
  for (int i = 0; i < 100; ++i)
    EXPECT_TRUE(FileExists(dir_.File("c" + std::to_string(i) + ".bmp")));
}

TEST_F(FetchJobTest, MissingJpegQualityFileFailsTheSaveUntilItExists) {
  std::remove(dir_.File("jpegcomp.txt").c_str());
  Start({Line("/charts/chart.gif", dir_.File("chart.jpg"))});
  SlowTick();
  EXPECT_EQ(QueueLength(), 1u);
  EXPECT_EQ(ShownError(), "Chart (" + server_.Url("/charts/chart.gif") + "): Cannot open file " +
                              dir_.File("jpegcomp.txt"));
  EXPECT_FALSE(FileExists(dir_.File("chart.jpg")));
  WriteTextFile(dir_.File("jpegcomp.txt"), {"50"});
  clock_.AdvanceMilliseconds(2000);
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

// A stop (SIGTERM, or the window closed) ends the running download at once and starts no
// other job, so the program exits without waiting for a silent server's time-out or for
// the rest of the queue; the cut job is not reported as its source's failure.
TEST_F(FetchJobTest, AStopEndsTheRunningDownloadAndStartsNoOtherJob) {
  const std::vector<std::pair<std::string, std::function<void(TMainForm&)>>> stops = {
      {"Isoview stopped by SIGTERM", [](TMainForm& form) { form.StopOnSignal("SIGTERM"); }},
      {"Isoview stopped: the window was closed", [](TMainForm& form) { form.close(); }},
  };
  for (const auto& [logged, stop] : stops) {
    SCOPED_TRACE(logged);
    server_.Serve("/silent.gif", "never sent");
    server_.Hold("/silent.gif");
    Start({Line("/silent.gif", dir_.File("silent.bmp")),
           Line("/charts/chart.gif", dir_.File("c.bmp"))});
    QTimer::singleShot(0, [&] { stop(*form_); });
    SlowTick();
    EXPECT_NE(Log().find("UTC " + logged + "\n"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Error (Chart)"), std::string::npos) << Log();
    EXPECT_EQ(QueueLength(), 2u);
    server_.Release();
    EXPECT_EQ(server_.Requests("/charts/chart.gif"), 0);
    EXPECT_FALSE(FileExists(dir_.File("c.bmp")));
    form_.reset();
    std::remove(dir_.File("isoview.log").c_str());
  }
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
