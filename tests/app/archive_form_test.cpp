#include "app/archive_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "app/main_form.h"
#include "app/qt_archive_tile.h"
#include "app/qt_printer.h"
#include "gui/application.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "program/event_log.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/pdf_page.h"
#include "tests/support/temp_dir.h"
#include "ui_archive_form.h"
#include "ui_main_form.h"
#include "ui_picture_viewer_form.h"

namespace {

constexpr TRGBColor kRed{255, 0, 0};
constexpr TRGBColor kBlue{0, 0, 255};

// Lets the window's events run until done holds; the test's time-out ends a wait for an
// event that never comes.
void ProcessEventsUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void DoubleClick(QWidget& widget) {
  const QPointF centre(widget.width() / 2.0, widget.height() / 2.0);
  QMouseEvent event(QEvent::MouseButtonDblClick, centre, widget.mapToGlobal(centre), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

// A maker that gives a 2 x 2 picture once the test lets it, counting the files it made.
class HeldMaker {
 public:
  TThumbnailMaker Maker() {
    return [this](const std::string&) {
      std::unique_lock lock(mutex_);
      released_.wait(lock, [this] { return open_; });
      ++made_;
      TBitmap bitmap;
      bitmap.SetSize(2, 2);
      return bitmap.Dib();
    };
  }
  void Release() {
    std::lock_guard lock(mutex_);
    open_ = true;
    released_.notify_all();
  }
  int Made() {
    std::lock_guard lock(mutex_);
    return made_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool open_ = false;
  int made_ = 0;
};

class ArchiveFormTest : public ::testing::Test {
 protected:
  ArchiveFormTest() { clock_.Set({2026, 12, 8, 15, 12, 3}); }
  ~ArchiveFormTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  // count files saved one an hour from 2026-12-01 00:00 UTC, "N.gif", listed oldest first.
  void SaveHourly(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string path = dir_.File(std::to_string(i) + ".gif");
      WriteWholeFile(path, "GIF89a");
      List(path, IncMinutes(EncodeDateTime({2026, 12, 1}), 60 * i));
    }
  }
  void List(const std::string& path, TDateTime at) {
    ASSERT_TRUE(RecordSave(dir_.File(kSavedListFileName), {at, path}));
  }
  static std::vector<std::string> TilePaths(const TArchiveForm& form) {
    std::vector<std::string> paths;
    for (const TQtArchiveTile* tile : form.Tiles()) paths.push_back(tile->Save().path);
    return paths;
  }
  static bool AllShown(const TArchiveForm& form) {
    for (const TQtArchiveTile* tile : form.Tiles())
      if (tile->State() == atLoading) return false;
    return true;
  }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_;
  TQtPrinter printer_{clock_, zone_};
};

}  // namespace

TEST_F(ArchiveFormTest, PagesThroughAHundredSavesNewestFirst) {
  SaveHourly(100);
  HeldMaker maker;
  maker.Release();
  TArchiveForm form(dir_.Path(), printer_, nullptr, maker.Maker());
  form.Open();
  Ui::TArchiveForm& ui = form.Form();
  struct Step {
    QPushButton* button;  // null: the page as opened
    int page;
    size_t tiles;
    std::string first, last;
    std::vector<std::string> headings;
  };
  const std::vector<Step> steps = {
      {nullptr, 0, 48, "99.gif", "52.gif", {"2026-12-05", "2026-12-04", "2026-12-03"}},
      {ui.NextButton, 1, 48, "51.gif", "4.gif", {"2026-12-03", "2026-12-02", "2026-12-01"}},
      {ui.NextButton, 2, 4, "3.gif", "0.gif", {"2026-12-01"}},
      {ui.PreviousButton, 1, 48, "51.gif", "4.gif", {"2026-12-03", "2026-12-02", "2026-12-01"}},
      {ui.NewestButton, 0, 48, "99.gif", "52.gif", {"2026-12-05", "2026-12-04", "2026-12-03"}},
      {ui.OldestButton, 2, 4, "3.gif", "0.gif", {"2026-12-01"}},
  };
  for (const Step& step : steps) {
    if (step.button != nullptr) step.button->click();
    SCOPED_TRACE("page " + std::to_string(step.page));
    EXPECT_EQ(form.PageCount(), 3);
    EXPECT_EQ(form.PageIndex(), step.page);
    const std::vector<std::string> paths = TilePaths(form);
    ASSERT_EQ(paths.size(), step.tiles);
    EXPECT_EQ(paths.front(), dir_.File(step.first));
    EXPECT_EQ(paths.back(), dir_.File(step.last));
    EXPECT_EQ(form.DayHeadings(), step.headings);
    EXPECT_EQ(ui.PageLabel->text().toStdString(),
              "Page " + std::to_string(step.page + 1) + " of 3 (100 pictures, newest first)");
    EXPECT_EQ(ui.PreviousButton->isEnabled(), step.page > 0);
    EXPECT_EQ(ui.NewestButton->isEnabled(), step.page > 0);
    EXPECT_EQ(ui.NextButton->isEnabled(), step.page < 2);
    EXPECT_EQ(ui.OldestButton->isEnabled(), step.page < 2);
  }
}

// The page is there, every picture a placeholder, while the worker is held on its first
// thumbnail; released, the placeholders fill in; a page seen before comes back from memory.
TEST_F(ArchiveFormTest, ShowsTheFirstPageWhileThumbnailsLoadAndKeepsThemInMemory) {
  SaveHourly(50);
  HeldMaker maker;
  TArchiveForm form(dir_.Path(), printer_, nullptr, maker.Maker());
  form.Open();
  EXPECT_TRUE(form.isVisible());
  // The form is designed larger than the test's screen: it opens inside it, frame and all.
  const QRect screen = form.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(QRect(form.pos(), form.size() + QSize(16, 48))))
      << form.x() << "," << form.y() << " " << form.width() << "x" << form.height();
  ASSERT_EQ(form.Tiles().size(), 48u);
  for (const TQtArchiveTile* tile : form.Tiles()) {
    EXPECT_EQ(tile->State(), atLoading);
    EXPECT_EQ(tile->PlaceText().toStdString(), "loading...");
  }
  EXPECT_EQ(form.Form().PageLabel->text().toStdString(), "Page 1 of 2 (50 pictures, newest first)");

  maker.Release();
  ProcessEventsUntil([&] { return AllShown(form); });
  for (const TQtArchiveTile* tile : form.Tiles()) {
    EXPECT_EQ(tile->State(), atShown);
    EXPECT_EQ(tile->Picture().pixmap().size(), QSize(2, 2));
  }
  EXPECT_EQ(maker.Made(), 48);
  form.ShowPage(1);
  ProcessEventsUntil([&] { return AllShown(form); });
  form.ShowPage(0);
  EXPECT_TRUE(AllShown(form));
  EXPECT_EQ(maker.Made(), 50);
}

// With the program's own readers: a picture, a listed file gone from the disk, a file that
// is no picture, and a path saved again, which shows once at its later save.
TEST_F(ArchiveFormTest, TellsAPictureFromADeletedFileAndOneThatCannotBeRead) {
  const std::string chart = dir_.File("chart.gif");
  std::filesystem::copy_file(std::string(ISOVIEW_SOURCE_DIR) + "/demo/images/chart.gif", chart);
  WriteWholeFile(dir_.File("broken.jpg"), "not a JPEG");
  List(chart, EncodeDateTime({2026, 12, 7, 9}));
  List(dir_.File("gone.gif"), EncodeDateTime({2026, 12, 8, 9}));
  List(dir_.File("broken.jpg"), EncodeDateTime({2026, 12, 8, 10}));
  List(chart, EncodeDateTime({2026, 12, 8, 11}));
  TArchiveForm form(dir_.Path(), printer_);
  form.Open();
  ProcessEventsUntil([&] { return AllShown(form); });
  EXPECT_EQ(TilePaths(form),
            (std::vector<std::string>{chart, dir_.File("broken.jpg"), dir_.File("gone.gif")}));
  EXPECT_EQ(form.DayHeadings(), std::vector<std::string>{"2026-12-08"});
  const std::vector<TQtArchiveTile*>& tiles = form.Tiles();
  EXPECT_EQ(tiles[0]->State(), atShown);
  EXPECT_EQ(tiles[0]->Picture().pixmap().size(), QSize(160, 120));
  EXPECT_EQ(tiles[1]->State(), atUnreadable);
  EXPECT_EQ(tiles[1]->PlaceText().toStdString(), "cannot be read");
  EXPECT_EQ(tiles[2]->State(), atDeleted);
  EXPECT_EQ(tiles[2]->PlaceText().toStdString(), "deleted");
  DoubleClick(*tiles[2]);  // nothing to open
  EXPECT_FALSE(form.Viewer().isVisible());
}

// 800 x 600, red left half, blue right half, saved as a BMP by the program and listed.
TEST_F(ArchiveFormTest, DoubleClickOpensTheViewerWhichZoomsAndPrintsThroughTheProgramsPrinter) {
  TBitmap picture;
  picture.SetSize(800, 600);
  picture.Canvas().FillRect(Rect(0, 0, 400, 600), kRed);
  picture.Canvas().FillRect(Rect(400, 0, 800, 600), kBlue);
  const std::string file = dir_.File("halves.bmp");
  picture.SaveToFile(file);
  List(file, EncodeDateTime({2026, 12, 8, 9}));
  const TEventLog log(dir_.File("isoview.log"), clock_, zone_);
  TArchiveForm form(dir_.Path(), printer_);
  form.SetLog(&log);
  form.Open();
  ASSERT_EQ(form.Tiles().size(), 1u);

  DoubleClick(*form.Tiles().front());
  TPictureViewerForm& viewer = form.Viewer();
  ASSERT_TRUE(viewer.isVisible());
  EXPECT_EQ(viewer.Picture().Width(), 800);
  EXPECT_EQ(viewer.Picture().Height(), 600);
  Ui::TPictureViewerForm& ui = viewer.Form();
  const QSize view = ui.PictureArea->viewport()->size();
  const QSize fitted = ui.Picture->size();
  EXPECT_EQ(viewer.Zoom(), vzFit);
  EXPECT_TRUE(fitted.width() == view.width() || fitted.height() == view.height())
      << fitted.width() << " x " << fitted.height();
  ui.ActualSizeButton->click();
  EXPECT_EQ(ui.Picture->size(), QSize(800, 600));
  ui.FitButton->click();
  EXPECT_EQ(ui.Picture->size(), fitted);

  printer_.Printer().setOutputFormat(QPrinter::PdfFormat);
  printer_.Printer().setOutputFileName(QString::fromStdString(dir_.File("print.pdf")));
  ui.PrintButton->click();
  const std::string printout = dir_.File("print-20261208-151203.pdf");
  const TRgbImage page = RasterisePdf(dir_, printout, 50);
  ASSERT_GT(page.Height, 0) << "no printout " << printout;
  EXPECT_GT(page.Width, page.Height);  // landscape, as the main window prints a wide chart
  const PageBox inked = InkedBox(page);
  const double middle = (inked.top + inked.bottom) / 2;
  EXPECT_TRUE(NearColor(page.At(inked.left + (inked.right - inked.left) / 4, middle), kRed));
  EXPECT_TRUE(NearColor(page.At(inked.right - (inked.right - inked.left) / 4, middle), kBlue));
  EXPECT_NEAR((inked.right - inked.left) / (inked.bottom - inked.top), 800.0 / 600, 0.02);
  EXPECT_NE(ReadWholeFile(dir_.File("isoview.log")).find("Printout written to " + printout),
            std::string::npos);
}

TEST_F(ArchiveFormTest, TheMainWindowsFileMenuOpensTheArchive) {
  SaveHourly(3);
  TMainForm main(TMainFormEnvironment{&clock_, &zone_, dir_.Path()});
  TArchiveForm form(dir_.Path(), main.Printer(), &main);
  main.SetArchiveForm(&form);
  const QList<QAction*> file = main.Form().File1->actions();
  ASSERT_GE(file.size(), 2);
  EXPECT_EQ(file[1], main.Form().Archive1);
  EXPECT_EQ(main.Form().Archive1->text().toStdString(), "&Archive...");
  main.Form().Archive1->trigger();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(TilePaths(form).front(), dir_.File("2.gif"));
}

TEST_F(ArchiveFormTest, SavesALoopOfTheNewestChartsOfTheChosenSource) {
  const int sizes[][2] = {{4, 3}, {5, 2}, {6, 4}};
  for (int hour = 0; hour < 3; ++hour) {
    const std::string radar = dir_.File("radar" + std::to_string(10 + hour) + ".gif");
    const std::vector<uint8_t> bytes = PlainGiflibGif(sizes[hour][0], sizes[hour][1]);
    WriteWholeFile(radar, std::string(bytes.begin(), bytes.end()));
    List(radar, EncodeDateTime({2026, 12, 8, 10 + hour, 0, 0}));
    const std::vector<uint8_t> other = PlainGiflibGif(8, 8);
    WriteWholeFile(dir_.File("sat.gif"), std::string(other.begin(), other.end()));
    List(dir_.File("sat.gif"), EncodeDateTime({2026, 12, 8, 10 + hour, 30, 0}));
  }
  TArchiveForm form(dir_.Path(), printer_);
  EXPECT_EQ(form.Form().LoopButton->text().toStdString(), "&Loop…");
  form.SetLoopOffer({{{"Radar", "radar@H.gif"}, {"Sat", "sat.gif"}}, 2, 40});

  const std::string file = dir_.File("out/loop.gif");
  std::filesystem::create_directory(dir_.File("out"));
  EXPECT_EQ(form.SaveLoop({"Radar", "radar@H.gif"}, file), "");
  const std::string bytes = ReadWholeFile(file);
  const PeerGif loop = ReadGiflibGif(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  EXPECT_EQ(loop.Width, 6);
  EXPECT_EQ(loop.Height, 4);
  ASSERT_EQ(loop.Frames.size(), 2u);

  EXPECT_EQ(form.SaveLoop({"Gone", "gone@H.gif"}, file), "No saved chart of Gone could be read");
  EXPECT_EQ(ReadWholeFile(file), bytes) << "the last loop stays";
  EXPECT_NE(form.SaveLoop({"Radar", "radar@H.gif"}, dir_.File("no/such/folder/loop.gif")), "");
}
