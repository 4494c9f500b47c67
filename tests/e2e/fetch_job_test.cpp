#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <functional>
#include <utility>

#include <QStatusBar>
#include <QTimer>

#include "app/main_form.h"
#include "app/qt_chart_view.h"
#include "archive/saved_list.h"
#include "gui/application.h"
#include "http/http_cli.h"
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
#include "tests/support/pump.h"
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

  // Starts the main window on the schedule, with the station's clock left to the test,
  // and lets the clock queue the minute's lines, which start at once.
  void Start(const Texts& schedule) {
    WriteTextFile(dir_.File("schedule.txt"), schedule);
    form_ = std::make_unique<TMainForm>(
        TMainFormEnvironment{&clock_, &zone_, dir_.Path(), {}, &steady_, 0});
    form_->Printer().Printer().setOutputFormat(QPrinter::PdfFormat);
    form_->Printer().Printer().setOutputFileName(QString::fromStdString(Pdf()));
    QObject::connect(form_.get(), &TMainForm::Status2Changed,
                     [this](const QString& text) { statuses_.push_back(text.toStdString()); });
    form_->show();
    form_->Station().Tick();
  }
  // Lets the station run until it has nothing in hand.
  void Settle() {
    ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [this] { return form_->Station().Settled(); }));
  }
  void AfterSeconds(int seconds) {
    steady_.AdvanceSeconds(seconds);
    form_->Station().Tick();
    Settle();
  }

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
  FakeSteadyClock steady_;
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
  Settle();  // the tick that queued them started them
  const std::string url = server_.Url("/charts/chart.gif");
  EXPECT_EQ(statuses_.back(), "Done");
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(form_->ChartView().ShownSize(), QSize(kWidth, kHeight));

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

  // Each save is listed for the archive at its UTC time, in the order the saves ended; two
  // downloads from one host run at once, so which of them ends last is theirs to decide.
  std::vector<TSavedFile> listed;
  for (const std::string kind : {"bmp", "gif", "jpg"})
    listed.push_back(
        {EncodeDateTime({2026, 12, 8, 10, 15, 5}), dir_.File("chart-261208-1015." + kind)});
  std::vector<TSavedFile> saves =
      LatestSaves(ParseSavedList(ReadWholeFile(dir_.File("saved.txt"))));
  ASSERT_FALSE(saves.empty());
  EXPECT_EQ(form_->statusBar()->findChild<QLabel*>("LastSaved")->text().toStdString(),
            "Saved 2026-12-08 10:15:05 UTC: " + saves.back().path);
  std::ranges::sort(saves, {}, &TSavedFile::path);
  EXPECT_EQ(saves, listed);

  const std::string log = Log();
  for (const std::string& text :
       Texts{"Fetching " + url, "Downloaded " + url + ": 200 OK, ", "Displayed 48 x 32",
             "Saved " + dir_.File("chart-261208-1015.gif"), "Saved " + jpegName})
    EXPECT_NE(log.find(text), std::string::npos) << text << "\n" << log;
}

// One line's job tells what it does in Status2, in the design's order.
TEST_F(FetchJobTest, OneJobsStatusTextsComeInTheDesignsOrder) {
  Start({Line("/charts/chart.gif", dir_.File("chart-@H@N.gif"))});
  Settle();
  const std::string local = dir_.File("downloads/chart.gif");
  EXPECT_EQ(statuses_,
            (Texts{"Downloading " + server_.Url("/charts/chart.gif") + "...",
                   "Downloading " + local + ".....", "Idle", "Printing " + local + ".....",
                   "Saving " + dir_.File("chart-@H@N.gif") + "...", "Done", "Done"}));
  EXPECT_EQ(form_->ChartView().ShownSize(), QSize(kWidth, kHeight));
}

// During a download the status bar shows the bytes received and the share of the length,
// at most ten times a second of the station's steady clock, and nothing once it has ended.
TEST_F(FetchJobTest, DownloadProgressIsShownAtMostTenTimesASecond) {
  constexpr int64_t kBodySize = 32 * int64_t{THttpCli::kBodyReadSize};  // many reads
  server_.Serve("/charts/big.bin", std::string(kBodySize, 'x'));
  Texts progress;
  steady_.StepEachRead(10);
  const int64_t before = steady_.NowMs();
  Start({Line("/charts/big.bin", "")});
  QObject::connect(form_.get(), &TMainForm::DownloadProgressChanged,
                   [&](const QString& text) { progress.push_back(text.toStdString()); });
  Settle();
  const int64_t span = steady_.NowMs() - before;
  steady_.StepEachRead(0);
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

// A target name without a folder is saved in the program folder, wherever the program was
// started from (the desktop starts it in the home folder); the log and the status bar name
// the file by its absolute path.
TEST_F(FetchJobTest, ARelativeTargetIsSavedInTheProgramFolder) {
  struct TWorkingFolder {
    explicit TWorkingFolder(const std::string& folder) { std::filesystem::current_path(folder); }
    ~TWorkingFolder() { std::filesystem::current_path(previous); }
    std::filesystem::path previous = std::filesystem::current_path();
  };
  TempDir elsewhere;
  {
    const TWorkingFolder startedElsewhere(elsewhere.Path());
    Start({Line("/charts/chart.gif", "rel-@H@N.bmp")});
    Settle();
  }
  const std::string saved = dir_.File("rel-1015.bmp");
  EXPECT_TRUE(FileExists(saved));
  EXPECT_FALSE(FileExists(elsewhere.File("rel-1015.bmp")));
  EXPECT_NE(Log().find("UTC Saved " + saved + "\n"), std::string::npos) << Log();
  EXPECT_EQ(form_->statusBar()->findChild<QLabel*>("LastSaved")->text().toStdString(),
            "Saved 2026-12-08 10:15:05 UTC: " + saved);
}

TEST_F(FetchJobTest, EmptyFilenameSavesNothingAndNoOrDisabledPrinterPrintsNothing) {
  Start({Line("/charts/chart.gif", "", "N"),
         ScheduleEvent{
             {"1016", "n", "Chart", server_.Url("/charts/chart.gif"), "y", dir_.File("x.bmp")}}
             .ToLine()});
  Settle();
  EXPECT_EQ(std::count(statuses_.begin(), statuses_.end(), "Done"), 1);  // no save
  form_->Form().DisablePrinter->setChecked(true);
  clock_.AdvanceMinutes(1);
  form_->Station().Tick();
  Settle();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_TRUE(FileExists(dir_.File("x.bmp")));
  EXPECT_EQ(Printouts(), Texts{});
  EXPECT_EQ(Log().find("Printed"), std::string::npos);
}

TEST_F(FetchJobTest, PrintedJobMakesOnePdfPageInvertedForNegY) {
  Start({Line("/charts/chart.gif", "", "y", "y")});
  Settle();
  ASSERT_EQ(ShownError(), "");
  const std::string printout = dir_.File("print-20261208-101505.pdf");
  ASSERT_EQ(Printouts(), Texts{printout});
  EXPECT_NE(Log().find("Printed " + dir_.File("downloads/chart.gif")), std::string::npos);
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
  Settle();
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(form_->ChartView().ShownSize(), QSize(kWidth, kHeight));

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
  Settle();
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
  EXPECT_EQ(ReadWholeFile(dir_.File("downloads/chart.gif")), gif);
  EXPECT_EQ(ReadWholeFile(dir_.File("downloads/map.php?id=5")), gif);
  for (const std::string& folder : {dir_.Path(), dir_.File("downloads")})
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      EXPECT_EQ(entry.path().string().find(".isoview-"), std::string::npos) << entry.path();
}

TEST_F(FetchJobTest, ARefusedConnectionIsNamedAsSuch) {
  const int port = FreeLoopbackPort();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/charts/chart.gif";
  Start({ScheduleEvent{{"1015", "n", "Surface analysis", url, "n", dir_.File("c.bmp")}}.ToLine()});
  Settle();
  EXPECT_EQ(ShownError().rfind("Surface analysis (" + url + "): ", 0), 0u) << ShownError();
  EXPECT_NE(ShownError().find("Connection refused (Error #10061)"), std::string::npos);
  EXPECT_FALSE(FileExists(dir_.File("c.bmp")));
}

// The status bar counts the sources whose lines wait for a retry, each source once, and
// the count falls as they recover.
TEST_F(FetchJobTest, TheStatusBarCountsTheFailingSources) {
  Start({Line("/a.gif", dir_.File("a1.bmp")), Line("/a.gif", dir_.File("a2.bmp")),
         Line("/b.gif", dir_.File("b.bmp")), Line("/charts/chart.gif", dir_.File("c.bmp"))});
  const auto failing = [this] {
    return form_->findChild<QLabel*>("FailingSources")->text().toStdString();
  };
  Settle();
  EXPECT_EQ(failing(), "2 sources failing since 10:15");
  const std::string chart = Bytes(WriteGiflibGif(Chart()));
  for (const auto& [path, left] : std::vector<std::pair<std::string, std::string>>{
           {"/b.gif", "1 source failing since 10:15"}, {"/a.gif", ""}}) {
    server_.Serve(path, chart);
    AfterSeconds(kLongestRetrySeconds);
    EXPECT_EQ(failing(), left) << path;
  }
  EXPECT_EQ(QueueLength(), 0u);
}

// A hundred small charts due in one minute are all saved behind the tick that queued them.
TEST_F(FetchJobTest, AHundredEventsOfOneMinuteAreAllSaved) {
  Texts schedule;
  for (int i = 0; i < 100; ++i)
    schedule.push_back(Line("/charts/chart.gif", dir_.File("c" + std::to_string(i) + ".bmp")));
  Start(schedule);
  Settle();
  EXPECT_EQ(QueueLength(), 0u);
  for (int i = 0; i < 100; ++i)
    EXPECT_TRUE(FileExists(dir_.File("c" + std::to_string(i) + ".bmp")));
}

// A stop (SIGTERM, or the window closed) ends the running downloads at once and starts no
// other job, so the program exits without waiting for a silent server's time-out; the cut
// jobs are not reported as their sources' failures.
TEST_F(FetchJobTest, AStopEndsTheRunningDownloadsAndStartsNoOtherJob) {
  const std::vector<std::pair<std::string, std::function<void(TMainForm&)>>> stops = {
      {"Isoview stopped by SIGTERM", [](TMainForm& form) { form.StopOnSignal("SIGTERM"); }},
      {"Isoview stopped: the window was closed",
       [](TMainForm& form) {
         TApplication::Instance().SetQuestionHook([](const std::string&) { return true; });
         form.close();
         TApplication::Instance().SetQuestionHook(nullptr);
       }},
  };
  for (const auto& [logged, stop] : stops) {
    SCOPED_TRACE(logged);
    server_.Serve("/silent.gif", "never sent");
    server_.Hold("/silent.gif");
    Start({Line("/silent.gif", dir_.File("silent.bmp")),
           Line("/charts/chart.gif", dir_.File("c.bmp"))});
    ASSERT_EQ(form_->Station().RunningDownloads(), 2);
    stop(*form_);
    Settle();
    form_->Station().Tick();
    EXPECT_EQ(form_->Station().RunningDownloads(), 0);
    EXPECT_NE(Log().find("UTC " + logged + "\n"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("Error (Chart)"), std::string::npos) << Log();
    EXPECT_EQ(QueueLength(), 2u);
    server_.Release();
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
  Settle();
  unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(ShownError(), "");
  EXPECT_EQ(QueueLength(), 0u);
  EXPECT_EQ(secure.Requests("/charts/chart.gif"), 1);
  EXPECT_EQ(form_->ChartView().ShownSize(), QSize(kWidth, kHeight));
  TBitmap saved;
  saved.LoadFromFile(dir_.File("secure-1015.bmp"));
  ASSERT_EQ(saved.Width(), kWidth);
  ASSERT_EQ(saved.Height(), kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) ASSERT_EQ(saved.Canvas().Pixel(x, y), ChartColor(x, y));
  EXPECT_NE(Log().find("Downloaded " + url + ": 200 OK, "), std::string::npos) << Log();
}

}  // namespace
