#include "schedule/schedule_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>

#include "gui/application.h"
#include "runtime/exceptions.h"
#include "runtime/text_file.h"
#include "schedule/list_files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"
#include "ui_schedule_form.h"

namespace {

using Lines = std::vector<std::string>;

ScheduleEvent Event(const std::string& time, const std::string& name, const std::string& url) {
  return {{time, "n", name, url, "y", time + ".gif"}};
}

ResourceEntry Entry(const std::string& name, const std::string& neg, const std::string& url) {
  return {{"Europe", "Chart", "1:10", "00", "Met", name, neg, url}};
}

const ResourceEntry kTitles = {{"Region", "Type", "Scale", "Hours", "Source", "Name", "N", "URL"}};

class ScheduleFormTest : public ::testing::Test {
 protected:
  ScheduleFormTest() {
    WriteListFiles(
        {Event("2359", "Late", "http://a/late.gif"), Event("0005", "Early", "http://a/early.gif"),
         Event("0930", "Mid", "http://a/mid.gif")},
        {kTitles, Entry("Surface", "y", "http://m/surface.gif"),
         Entry("Radar", "n", "http://m/radar.gif")});
    form_.SetPreviewer([this](const std::string& url) { previewed_.push_back(url); });
  }
  ~ScheduleFormTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  void WriteListFiles(const std::vector<ScheduleEvent>& events,
                      const std::vector<ResourceEntry>& entries) {
    SaveListFiles(dir_.Path(), events, entries);
  }
  TStringGrid& Schedule() { return *form_.Form().StringGrid1; }
  TStringGrid& Resources() { return *form_.Form().SourceGrid; }
  std::string ShownError() { return TApplication::Instance().ErrorDisplay().LatestMessage(); }

  // Releases the mouse button over the title row above the column, as the operator does.
  static void ReleaseOverTitle(TStringGrid& grid, int column) {
    QHeaderView& header = *grid.horizontalHeader();
    const QPointF at(header.sectionViewportPosition(column) + 5, header.height() / 2);
    QMouseEvent release(QEvent::MouseButtonRelease, at, header.viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header.viewport(), &release);
  }

  TempDir dir_;
  TScheduleForm form_{dir_.Path()};
  Lines previewed_;
};

}  // namespace

// The narrow Neg column and the row heights are below the style's minimum sizes.
TEST_F(ScheduleFormTest, GridsHaveTheirColumnWidthsAndRowHeights) {
  const std::vector<int> resourceWidths = {73, 38, 39, 35, 37, 228, 16, 276};
  const std::vector<int> scheduleWidths = {64, 27, 252, 277, 28, 100};
  ASSERT_EQ(Resources().columnCount(), 8);
  ASSERT_EQ(Schedule().columnCount(), 6);
  for (int column = 0; column < 8; ++column)
    EXPECT_EQ(Resources().columnWidth(column), resourceWidths[column]);
  for (int column = 0; column < 6; ++column)
    EXPECT_EQ(Schedule().columnWidth(column), scheduleWidths[column]);
  form_.show();
  EXPECT_EQ(Resources().rowHeight(0), 16);
  EXPECT_EQ(Schedule().rowHeight(0), 18);
  EXPECT_EQ(form_.size(), QSize(769, 582));
}

TEST_F(ScheduleFormTest, OpeningLoadsBothGrids) {
  form_.show();
  EXPECT_EQ(Resources().RowCount(), 3);
  EXPECT_EQ(Resources().RowCells(0), Lines(kTitles.fields.begin(), kTitles.fields.end()));
  EXPECT_EQ(Resources().Cells(rcResourceName, 2), "Radar");
  EXPECT_EQ(Schedule().RowCount(), 4);
  EXPECT_EQ(Schedule().RowCells(0),
            (Lines{"Time (UTC)", "Neg", "Resource name", "URL", "Print", "Filename"}));
  EXPECT_EQ(Schedule().RowCells(1),
            (Lines{"2359", "n", "Late", "http://a/late.gif", "y", "2359.gif"}));
  EXPECT_EQ(ShownError(), "");
}

TEST_F(ScheduleFormTest, EmptyFilesLoadIntoOneEmptyDataRow) {
  WriteListFiles({}, {});
  form_.show();
  EXPECT_EQ(Resources().RowCount(), 2);
  EXPECT_EQ(Schedule().RowCount(), 2);
  EXPECT_EQ(Schedule().RowCells(1), Lines(6, ""));
}

TEST_F(ScheduleFormTest, DeletingTheOnlyDataRowLeavesTheTitleRowAndSavesAnEmptyFile) {
  WriteListFiles({Event("0930", "Only", "http://a/only.gif")}, {kTitles});
  form_.show();
  Schedule().SetRow(1);
  form_.ScheduleDeleteRowClick();
  EXPECT_EQ(Schedule().RowCount(), 1);
  EXPECT_EQ(Schedule().Row(), 0);
  form_.ScheduleDeleteRowClick();  // nothing left to delete: the title row stays
  EXPECT_EQ(Schedule().RowCount(), 1);
  EXPECT_EQ(Schedule().Cells(sfTime, 0), "Time (UTC)");
  // Without data rows, inserting makes the first one.
  form_.ScheduleInsertRowAfterClick();
  EXPECT_EQ(Schedule().RowCount(), 2);
  EXPECT_EQ(Schedule().Row(), 1);
  form_.ScheduleDeleteRowClick();

  form_.ExitSaveButtonClick();
  EXPECT_EQ(ReadWholeFile(dir_.File("schedule.txt")), "");
  EXPECT_FALSE(form_.isVisible());
}

TEST_F(ScheduleFormTest, DeleteMovesTheRowsBelowUp) {
  form_.show();
  Schedule().SetRow(1);
  form_.ScheduleDeleteRowClick();
  EXPECT_EQ(Schedule().RowCount(), 3);
  EXPECT_EQ(Schedule().Cells(sfTime, 1), "0005");
  EXPECT_EQ(Schedule().Cells(sfTime, 2), "0930");
  EXPECT_EQ(Schedule().Row(), 1);
}

TEST_F(ScheduleFormTest, InsertBeforeRowOneMovesTheCursorOntoANewEmptyRow) {
  form_.show();
  Schedule().SetRow(1);
  form_.ScheduleInsertRowBeforeClick();
  EXPECT_EQ(Schedule().RowCount(), 5);
  EXPECT_EQ(Schedule().Row(), 1);
  EXPECT_EQ(Schedule().RowCells(1), Lines(6, ""));
  EXPECT_EQ(Schedule().Cells(sfTime, 2), "2359");
  EXPECT_EQ(Schedule().Cells(sfTime, 4), "0930");
  EXPECT_EQ(Schedule().Cells(sfTime, 0), "Time (UTC)");
}

TEST_F(ScheduleFormTest, InsertAfterPutsTheEmptyRowBelowTheCursor) {
  form_.show();
  Resources().SetRow(2);
  form_.ResourceInsertRowAfterClick();
  EXPECT_EQ(Resources().RowCount(), 4);
  EXPECT_EQ(Resources().Row(), 3);
  EXPECT_EQ(Resources().Cells(rcResourceName, 2), "Radar");
  EXPECT_EQ(Resources().RowCells(3), Lines(8, ""));

  Schedule().SetRow(3);  // the last row
  form_.ScheduleInsertRowAfterClick();
  EXPECT_EQ(Schedule().RowCount(), 5);
  EXPECT_EQ(Schedule().Row(), 4);
  EXPECT_EQ(Schedule().Cells(sfTime, 3), "0930");
}

TEST_F(ScheduleFormTest, ReleasingOverTheTimeTitleSortsWholeRows) {
  form_.show();
  ReleaseOverTitle(Schedule(), sfTime);
  EXPECT_EQ(Schedule().RowCells(1),
            (Lines{"0005", "n", "Early", "http://a/early.gif", "y", "0005.gif"}));
  EXPECT_EQ(Schedule().RowCells(2),
            (Lines{"0930", "n", "Mid", "http://a/mid.gif", "y", "0930.gif"}));
  EXPECT_EQ(Schedule().RowCells(3),
            (Lines{"2359", "n", "Late", "http://a/late.gif", "y", "2359.gif"}));
  EXPECT_EQ(Schedule().Cells(sfTime, 0), "Time (UTC)");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(Schedule().updatesEnabled());

  ReleaseOverTitle(Resources(), rcResourceName);
  EXPECT_EQ(Resources().Cells(rcResourceName, 1), "Radar");
  EXPECT_EQ(Resources().Cells(rcURL, 1), "http://m/radar.gif");
  EXPECT_EQ(Resources().Cells(rcResourceName, 0), "Name");
}

TEST_F(ScheduleFormTest, AnEditInProgressStaysWithItsRowWhenSorting) {
  form_.show();
  Schedule().setCurrentCell(0, sfResourceName);  // row 1, "Late"
  Schedule().editItem(Schedule().currentItem());
  auto* editor = qobject_cast<QLineEdit*>(Schedule().indexWidget(Schedule().currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->setText("Late, edited");
  form_.StringGrid1MouseUp(sfTime);
  EXPECT_EQ(Schedule().Cells(sfResourceName, 3), "Late, edited");
  EXPECT_EQ(Schedule().Cells(sfResourceName, 1), "Early");
}

TEST_F(ScheduleFormTest, CopyResourceOverwritesNegNameAndUrlOnly) {
  form_.show();
  Resources().SetRow(1);
  Schedule().SetRow(2);
  form_.CopyResourceClick();
  EXPECT_EQ(Schedule().RowCells(2),
            (Lines{"0005", "y", "Surface", "http://m/surface.gif", "y", "0005.gif"}));
  EXPECT_EQ(Schedule().Cells(sfResourceName, 1), "Late");
}

TEST_F(ScheduleFormTest, PreviewsTakeTheCursorRowsUrl) {
  form_.show();
  Resources().SetRow(2);
  form_.ResourcePreviewButtonClick();
  Schedule().SetRow(3);
  Schedule().SetCells(sfURL, 3, "http://a/typed.gif ");
  form_.SchedulePreviewButtonClick();
  EXPECT_EQ(previewed_, (Lines{"http://m/radar.gif", "http://a/typed.gif "}));
}

TEST_F(ScheduleFormTest, ReloadGuardKeepsEditsAcrossAPreviewUntilAnExit) {
  form_.show();
  Schedule().SetCells(sfResourceName, 1, "Edited");
  Schedule().SetRow(1);
  form_.SchedulePreviewButtonClick();
  EXPECT_TRUE(form_.ReloadGuard());
  form_.FormActivate();  // back from the preview window
  EXPECT_EQ(Schedule().Cells(sfResourceName, 1), "Edited");

  // The close box leaves the guard as it was, so reopening keeps the edits too.
  form_.close();
  form_.show();
  EXPECT_EQ(Schedule().Cells(sfResourceName, 1), "Edited");

  form_.CloseNoSaveButtonClick();
  EXPECT_FALSE(form_.ReloadGuard());
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(7, 4), "Late");
  form_.show();
  EXPECT_EQ(Schedule().Cells(sfResourceName, 1), "Late");

  form_.SchedulePreviewButtonClick();
  form_.ExitSaveButtonClick();
  EXPECT_FALSE(form_.ReloadGuard());
}

TEST_F(ScheduleFormTest, SavedContentIsShownOnReopening) {
  form_.show();
  Schedule().SetCells(sfTime, 2, "1200");
  Schedule().SetCells(sfNeg, 2, "ye");
  Resources().SetCells(rcText1, 0, "Area");
  Resources().SetCells(rcText1, 1, "");
  form_.ExitSaveButtonClick();
  EXPECT_FALSE(form_.isVisible());

  const Lines schedule = ReadTextFile(dir_.File("schedule.txt"));
  ASSERT_EQ(schedule.size(), 3u);
  EXPECT_EQ(schedule[1].substr(0, 8), "1200 yeE");
  EXPECT_EQ(ReadTextFile(dir_.File("resource.txt"))[0].substr(0, 12), "Area        ");

  form_.show();
  EXPECT_EQ(Schedule().Cells(sfTime, 2), "1200");
  EXPECT_EQ(Schedule().Cells(sfNeg, 2), "y");
  EXPECT_EQ(Resources().Cells(rcText1, 0), "Area");
  EXPECT_EQ(Resources().RowCells(1),
            (Lines{"", "Chart", "1:10", "00", "Met", "Surface", "y", "http://m/surface.gif"}));
}

TEST_F(ScheduleFormTest, AFailingSaveKeepsBothOldFilesAndTheWindowOpen) {
  form_.show();
  const std::string oldSchedule = ReadWholeFile(dir_.File("schedule.txt"));
  const std::string oldResources = ReadWholeFile(dir_.File("resource.txt"));
  Schedule().SetCells(sfTime, 1, "1111");
  for (int row = 3; row <= 6; ++row) {
    Resources().SetRow(row - 1);
    form_.ResourceInsertRowAfterClick();
    Resources().SetCells(rcURL, row, std::string(250, 'u'));
  }
  {
    // Room for the new schedule.txt (three lines of 212 bytes), not for resource.txt.
    TFileSizeLimit limit(1000);
    form_.ExitSaveButtonClick();
  }
  EXPECT_EQ(ShownError(), "Cannot write " + dir_.File("resource.txt") + ": File too large");
  EXPECT_TRUE(form_.isVisible());
  EXPECT_EQ(ReadWholeFile(dir_.File("schedule.txt")), oldSchedule);
  EXPECT_EQ(ReadWholeFile(dir_.File("resource.txt")), oldResources);
  EXPECT_EQ(Schedule().Cells(sfTime, 1), "1111");

  form_.ExitSaveButtonClick();  // once there is room again
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(0, 4), "1111");
}

TEST_F(ScheduleFormTest, AMissingResourceFileStopsTheLoadBeforeEitherGridChanges) {
  form_.show();
  Schedule().SetCells(sfTime, 1, "1111");
  form_.CloseNoSaveButtonClick();
  std::remove(dir_.File("resource.txt").c_str());
  form_.show();
  EXPECT_EQ(ShownError(), "Cannot open file " + dir_.File("resource.txt"));
  EXPECT_EQ(Schedule().Cells(sfTime, 1), "1111");

  // The grids do not hold the files, so saving them would overwrite schedule.txt with
  // what an earlier opening showed.
  TApplication::Instance().ErrorDisplay().Dismiss();
  form_.ExitSaveButtonClick();
  EXPECT_NE(ShownError().find("not saved"), std::string::npos);
  EXPECT_TRUE(form_.isVisible());
  EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(0, 4), "2359");
  EXPECT_FALSE(FileExists(dir_.File("resource.txt")));
}

TEST_F(ScheduleFormTest, AMissingScheduleFileLeavesTheTitlesAndTheLoadedResources) {
  std::remove(dir_.File("schedule.txt").c_str());
  form_.show();
  EXPECT_EQ(ShownError(), "Cannot open file " + dir_.File("schedule.txt"));
  EXPECT_EQ(Resources().RowCount(), 3);
  EXPECT_EQ(Schedule().RowCount(), 2);
  EXPECT_EQ(Schedule().Cells(sfTime, 0), "Time (UTC)");
}

// A second press during a preview's download would replace that download's file.
TEST_F(ScheduleFormTest, PreviewButtonsAreDisabledWhileAPreviewRunsAndEnabledAfterAnError) {
  form_.show();
  bool enabledDuring = true;
  form_.SetPreviewer([&](const std::string&) {
    enabledDuring = form_.Form().ResourcePreviewButton->isEnabled() ||
                    form_.Form().SchedulePreviewButton->isEnabled();
    throw Exception("Cannot open file x.gif");
  });
  Schedule().SetRow(1);
  form_.SchedulePreviewButtonClick();
  EXPECT_FALSE(enabledDuring);
  EXPECT_TRUE(form_.Form().ResourcePreviewButton->isEnabled());
  EXPECT_TRUE(form_.Form().SchedulePreviewButton->isEnabled());
  EXPECT_EQ(ShownError(), "Cannot open file x.gif");
}
