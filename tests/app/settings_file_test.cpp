// What survives a restart through the settings file and the station's files: the window's
// size and place, the printer (Print to PDF included), "Disable printer", and the last
// save in the status bar.

#include "app/qt_settings_file.h"

#include <gtest/gtest.h>

#include <QPrinter>
#include <QStatusBar>

#include "app/main_form.h"
#include "archive/saved_list.h"
#include "gui/application.h"
#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  SettingsFileTest() { WriteTextFile(dir_.File("schedule.txt"), {}); }
  ~SettingsFileTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  std::unique_ptr<TMainForm> Start() {
    auto form = std::make_unique<TMainForm>(
        TMainFormEnvironment{&clock_, &zone_, dir_.Path(), {}, &steady_, 0});
    form->show();
    return form;
  }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_;
  FakeSteadyClock steady_;
};

}  // namespace

TEST_F(SettingsFileTest, TheWindowAndDisablePrinterAreAsTheyWereLeft) {
  {
    auto form = Start();
    form->resize(910, 530);
    form->move(37, 41);
    form->Form().DisablePrinter->setChecked(true);
    form->close();
  }
  auto form = Start();
  EXPECT_EQ(form->size(), QSize(910, 530));
  EXPECT_EQ(form->pos(), QPoint(37, 41));
  EXPECT_TRUE(form->Form().DisablePrinter->isChecked());
  const std::string ini = ReadWholeFile(dir_.File("isoview.ini"));
  EXPECT_NE(ini.find("disabled=true"), std::string::npos) << ini;
}

// Qt takes a printer's name only for a printer the system knows, and this machine has none:
// printing to PDF is what can be seen kept here.
TEST_F(SettingsFileTest, ThePrintersPdfFileIsKept) {
  const QString pdf = QString::fromStdString(dir_.File("print.pdf"));
  {
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    TSettingsFile(dir_.Path()).SavePrinter(printer);
  }
  QPrinter restored;
  TSettingsFile(dir_.Path()).RestorePrinter(restored);
  EXPECT_EQ(restored.outputFormat(), QPrinter::PdfFormat);
  EXPECT_EQ(restored.outputFileName(), pdf);
  auto form = Start();
  EXPECT_EQ(form->Printer().Printer().outputFileName(), pdf);
}

TEST_F(SettingsFileTest, TheStatusBarShowsTheLastSaveOfSavedTxtAfterARestart) {
  ASSERT_TRUE(RecordSave(dir_.File("saved.txt"),
                         {EncodeDateTime({2026, 12, 8, 9, 0, 0}), dir_.File("chart.gif")}));
  auto form = Start();
  EXPECT_EQ(form->statusBar()->findChild<QLabel*>("LastSaved")->text().toStdString(),
            "Saved 2026-12-08 09:00:00 UTC: " + dir_.File("chart.gif"));
}

// The station's limits as an operator writes them into the file reach the station, and
// stay in the file when the window saves its place there.
TEST_F(SettingsFileTest, TheStationsLimitsAreReadFromTheFileAndKeptAcrossRestarts) {
  WriteWholeFile(dir_.File("isoview.ini"),
                 "[station]\nmaxDownloads=3\nmaxDownloadsPerHost=1\ndeadlineSeconds=90\n"
                 "bodyLimitBytes=1048576\n");
  for (int start = 0; start < 2; ++start) {
    auto form = Start();
    const TStationSettings& limits = form->Station().Settings();
    EXPECT_EQ(limits.maxDownloads, 3) << start;
    EXPECT_EQ(limits.maxDownloadsPerHost, 1) << start;
    EXPECT_EQ(limits.deadlineSeconds, 90) << start;
    EXPECT_EQ(limits.bodyLimitBytes, 1048576) << start;
    form->close();
  }
}
