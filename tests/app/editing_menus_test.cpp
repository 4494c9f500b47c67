// The menu commands that open the schedule editor and the JPEG quality dialog, with the
// windows made as the program makes them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/jpeg_compression_form.h"
#include "app/main_form.h"
#include "gui/application.h"
#include "runtime/text_file.h"
#include "schedule/qt_string_grid.h"
#include "schedule/schedule_event.h"
#include "schedule/schedule_form.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui_jpeg_compression_form.h"
#include "ui_main_form.h"
#include "ui_schedule_form.h"

namespace {

class EditingMenusTest : public ::testing::Test {
 protected:
  EditingMenusTest() {
    clock_.Set({2004, 3, 7, 9, 30, 5});
    WriteTextFile(dir_.File("schedule.txt"), {"0930 n Radar"});
    WriteTextFile(dir_.File("resource.txt"), {"Region      Type"});
    mainForm_.SetScheduleForm(&scheduleForm_);
    mainForm_.SetJPEGCompressionForm(&jpegForm_);
    mainForm_.show();
  }
  ~EditingMenusTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  // Runs the steps once the modal window has opened; a window the steps left open is
  // closed, so that a failing test cannot hang.
  static void WhenModal(std::function<void()> steps) {
    QTimer::singleShot(0, [steps = std::move(steps)] {
      steps();
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "the modal window was left open";
        modal->close();
      }
    });
  }
  std::string ShownError() { return TApplication::Instance().ErrorDisplay().LatestMessage(); }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_{{tzsStandard, 0, 0, 0}};
  FakeSteadyClock steady_;
  TMainForm mainForm_{TMainFormEnvironment{&clock_, &zone_, dir_.Path(), {}, &steady_, 0}};
  TScheduleForm scheduleForm_{dir_.Path(), &mainForm_};
  TJPEGCompressionForm jpegForm_{&mainForm_};
};

}  // namespace

TEST_F(EditingMenusTest, EditScheduleOpensTheEditorModallyThenReloadsAndRequeues) {
  mainForm_.Station().Tick();
  ASSERT_EQ(mainForm_.QueueLines().size(), 1u);
  bool sawEditor = false;
  WhenModal([&] {
    sawEditor = QApplication::activeModalWidget() == &scheduleForm_;
    TStringGrid& grid = *scheduleForm_.Form().StringGrid1;
    EXPECT_EQ(grid.Cells(sfResourceName, 1), "Radar");
    grid.SetRow(1);
    scheduleForm_.ScheduleInsertRowAfterClick();
    grid.SetCells(sfTime, 2, "0930");
    grid.SetCells(sfResourceName, 2, "Added");
    scheduleForm_.Form().ExitSaveButton->click();
  });
  mainForm_.Form().Edit1->trigger();
  EXPECT_TRUE(sawEditor);
  EXPECT_FALSE(scheduleForm_.isVisible());
  EXPECT_EQ(mainForm_.Station().EventTable().Count(), 2);
  const std::string wrote =
      "UTC Editor wrote " + dir_.File("schedule.txt") + " and " + dir_.File("resource.txt") + "\n";
  EXPECT_NE(ReadWholeFile(dir_.File("isoview.log")).find(wrote), std::string::npos);

  // Leaving without saving writes nothing, and the log says nothing of it.
  WhenModal([&] { scheduleForm_.Form().CloseNoSaveButton->click(); });
  mainForm_.Form().Edit1->trigger();
  const std::string log = ReadWholeFile(dir_.File("isoview.log"));
  EXPECT_EQ(log.find(wrote), log.rfind(wrote));

  // The same minute is processed again: only the added line joins the queue.
  mainForm_.Station().Tick();
  ASSERT_EQ(mainForm_.QueueLines().size(), 2u);
  EXPECT_EQ(mainForm_.QueueLines()[1].substr(0, 12), "0930   Added");
}

TEST_F(EditingMenusTest, JPEGDialogOkTakesOnlyAQualityFromZeroToHundredAsTheOnlyLine) {
  WriteTextFile(dir_.File("jpegcomp.txt"), {"75", "second line"});
  WhenModal([&] {
    Ui::TJPEGCompressionForm& ui = jpegForm_.Form();
    EXPECT_EQ(QApplication::activeModalWidget(), &jpegForm_);
    EXPECT_EQ(ui.Edit1->text().toStdString(), "75");
    for (const char* refused : {" 60 or so", "101"}) {
      ui.Edit1->setText(refused);
      ui.OKBtn->click();
      EXPECT_EQ(QApplication::activeModalWidget(), &jpegForm_) << refused;
      EXPECT_TRUE(ui.ErrorLabel->isVisible()) << refused;
      EXPECT_EQ(ui.ErrorLabel->text().toStdString(),
                "The JPEG quality must be a whole number from 0 to 100");
      EXPECT_EQ(ReadWholeFile(dir_.File("jpegcomp.txt")), "75\r\nsecond line\r\n");
    }
    ui.Edit1->setText(" 60 ");
    ui.OKBtn->click();
  });
  mainForm_.Form().DefaultJPEGcompression1->trigger();
  EXPECT_EQ(ReadWholeFile(dir_.File("jpegcomp.txt")), "60\r\n");
}

TEST_F(EditingMenusTest, JPEGDialogCancelAndCloseBoxWriteNothing) {
  WriteWholeFile(dir_.File("jpegcomp.txt"), "75\r\nkept\r\n");
  WhenModal([&] {
    jpegForm_.Form().Edit1->setText("10");
    jpegForm_.Form().CancelBtn->click();
  });
  mainForm_.DefaultJPEGcompression1Click();
  WhenModal([&] {
    jpegForm_.Form().Edit1->setText("20");
    jpegForm_.close();
  });
  mainForm_.DefaultJPEGcompression1Click();
  EXPECT_EQ(ReadWholeFile(dir_.File("jpegcomp.txt")), "75\r\nkept\r\n");
}

TEST_F(EditingMenusTest, MissingJPEGFileEndsTheCommandBeforeTheDialogOpens) {
  WhenModal([] {});  // fails the test should the dialog open
  mainForm_.DefaultJPEGcompression1Click();
  QApplication::processEvents();
  EXPECT_EQ(ShownError(), "Cannot open file " + dir_.File("jpegcomp.txt"));
  EXPECT_FALSE(FileExists(dir_.File("jpegcomp.txt")));
}
