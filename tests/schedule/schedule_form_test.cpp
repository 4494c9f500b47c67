#include "schedule/schedule_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

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
    form_.SetPreviewer([this](const std::string& url, std::function<void()> ended) {
      previewed_.push_back(url);
      ended();
    });
  }
  ~ScheduleFormTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  void WriteListFiles(const std::vector<ScheduleEvent>& events,
                      const std::vector<ResourceEntry>& entries) {
    SaveListFiles(dir_.Path(), events, entries);
  }
  TStringGrid& Schedule() { return *form_.Form().StringGrid1; }
  TStringGrid& Resources() { return *form_.Form().SourceGrid; }
  std::string ShownError() { return TApplication::Instance().ErrorDisplay().LatestMessage(); }
  std::string Note() { return form_.Form().MissingFilesNote->text().toStdString(); }

  // Answers the question box the next step opens with the button, and keeps its text.
  void AnswerNextQuestion(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, &form_, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      asked_.push_back(box->text().toStdString());
      box->button(button)->click();
    });
  }

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
  Lines asked_;
};

}  // namespace

// The narrow Neg column and the row heights are below the style's minimum sizes.
TEST_F(ScheduleFormTest, GridsHaveTheirColumnWidthsAndRowHeights) {
  const std::vector<int> resourceWidths = {73, 38, 39, 35, 37, 228, 16, 276};
  const std::vector<int> scheduleWidths = {64, 27, 252, 277, 28, 220};
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

  // The close box asks about the edits; Cancel goes back to them.
  AnswerNextQuestion(QMessageBox::Cancel);
  form_.close();
  EXPECT_TRUE(form_.isVisible());
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

// A list file that is there but cannot be read (a link to a share that is down) stops the
// load before either grid changes, and the grids are never saved over the files.
// What the fixed columns cannot hold, or a time that never falls due, is refused with the
// reason; the files keep their content, the window stays open and the cursor is on the row.
TEST_F(ScheduleFormTest, TheSaveRefusesWhatTheFilesCannotHold) {
  struct TCase {
    bool schedule;  // else the resources
    int column;
    std::string value;
    std::string error;  // empty: saved, and read back as it was typed
  };
  const std::string refused = ". Nothing was saved.";
  const std::vector<TCase> cases{
      {true, sfTime, "9:30",
       "Schedule row 2: the time must be four digits HHMM from 0000 to 2359, "
       "not \"9:30\"" +
           refused},
      {true, sfTime, "930",
       "Schedule row 2: the time must be four digits HHMM from 0000 to 2359, "
       "not \"930\"" +
           refused},
      {true, sfTime, "2400",
       "Schedule row 2: the time must be four digits HHMM from 0000 to 2359, "
       "not \"2400\"" +
           refused},
      {true, sfTime, "0960",
       "Schedule row 2: the time must be four digits HHMM from 0000 to 2359, "
       "not \"0960\"" +
           refused},
      {true, sfTime, "2359", ""},
      {true, sfURL, "http://a/" + std::string(132, 'u'),
       "Schedule row 2: the URL is 141 characters long; its column holds 140" + refused},
      {true, sfURL, "http://a/" + std::string(131, 'u'), ""},
      {true, sfResourceName, std::string(51, 't'),
       "Schedule row 2: the Resource name is 51 characters long; its column holds 50" + refused},
      {true, sfResourceName, std::string(50, 't'), ""},
      {true, sfFilename, std::string(256, 'f'),
       "Schedule row 2: the Filename is 256 characters long; its column holds 255" + refused},
      {false, rcResourceName, std::string(41, 'n'),
       "Resource row 2: the Name is 41 characters long; its column holds 40" + refused},
      {false, rcURL, "http://m/" + std::string(247, 'u'),
       "Resource row 2: the URL is 256 characters long; its column holds 255" + refused},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.value);
    form_.show();
    const std::string oldSchedule = ReadWholeFile(dir_.File("schedule.txt"));
    TStringGrid& grid = c.schedule ? Schedule() : Resources();
    grid.SetCells(c.column, 2, c.value);
    grid.SetRow(1);
    form_.ExitSaveButtonClick();
    EXPECT_EQ(ShownError(), c.error);
    EXPECT_EQ(form_.isVisible(), !c.error.empty());
    if (c.error.empty()) {
      const auto saved = c.schedule
                             ? LoadScheduleFile(dir_.File("schedule.txt"))[1].fields[c.column]
                             : LoadResourceFile(dir_.File("resource.txt"))[2].fields[c.column];
      EXPECT_EQ(saved, c.value);
    } else {
      EXPECT_EQ(grid.Row(), 2);
      EXPECT_EQ(ReadWholeFile(dir_.File("schedule.txt")), oldSchedule);
      form_.CloseNoSaveButtonClick();
    }
    TApplication::Instance().ErrorDisplay().Dismiss();
  }
  // An empty row needs no time: it is saved as an empty line, which nothing reads.
  form_.show();
  Schedule().SetRowCells(2, Lines(6, ""));
  form_.ExitSaveButtonClick();
  EXPECT_EQ(ShownError(), "");
  EXPECT_FALSE(form_.isVisible());
}

TEST_F(ScheduleFormTest, AnUnreadableResourceFileStopsTheLoadBeforeEitherGridChanges) {
  form_.show();
  Schedule().SetCells(sfTime, 1, "1111");
  form_.CloseNoSaveButtonClick();
  std::remove(dir_.File("resource.txt").c_str());
  std::filesystem::create_symlink(dir_.File("share/resource.txt"), dir_.File("resource.txt"));
  form_.show();
  EXPECT_EQ(ShownError(), "Cannot open file " + dir_.File("resource.txt"));
  EXPECT_EQ(Schedule().Cells(sfTime, 1), "1111");
  EXPECT_EQ(Note(), "");

  // The grids do not hold the files, so saving them would overwrite schedule.txt with
  // what an earlier opening showed.
  TApplication::Instance().ErrorDisplay().Dismiss();
  form_.ExitSaveButtonClick();
  EXPECT_NE(ShownError().find("not saved"), std::string::npos);
  EXPECT_TRUE(form_.isVisible());
  EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(0, 4), "2359");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("resource.txt")));
  form_.close();  // nothing could be saved, so nothing is asked
  EXPECT_FALSE(form_.isVisible());
}

// A list file that is not there loads as an empty list, says so, and is made by the save;
// the file that is there keeps its rows.
TEST_F(ScheduleFormTest, AMissingListFileLoadsEmptyWithANoteAndTheSaveCreatesIt) {
  struct TCase {
    Lines missing;
    std::string note;
  };
  const std::vector<TCase> cases{
      {{"schedule.txt"},
       "schedule.txt was not found: it starts empty, and \"Exit and save changes\" creates it."},
      {{"resource.txt"},
       "resource.txt was not found: it starts empty, and \"Exit and save changes\" creates it."},
      {{"resource.txt", "schedule.txt"},
       "resource.txt and schedule.txt were not found: they start empty, and \"Exit and save "
       "changes\" creates them."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.note);
    WriteListFiles({Event("0930", "Mid", "http://a/mid.gif")},
                   {kTitles, Entry("Radar", "n", "http://m/radar.gif")});
    for (const std::string& name : c.missing) std::remove(dir_.File(name).c_str());
    const bool noSchedule = !FileExists(dir_.File("schedule.txt"));
    const bool noResources = !FileExists(dir_.File("resource.txt"));
    form_.show();
    EXPECT_EQ(ShownError(), "");
    EXPECT_EQ(Note(), c.note);
    EXPECT_TRUE(form_.Form().MissingFilesNote->isVisible());
    EXPECT_EQ(Schedule().Cells(sfTime, 0), "Time (UTC)");
    EXPECT_EQ(Schedule().Cells(sfResourceName, 1), noSchedule ? "" : "Mid");
    EXPECT_EQ(Resources().RowCells(0), Lines(kTitles.fields.begin(), kTitles.fields.end()));
    EXPECT_EQ(Resources().Cells(rcResourceName, 1), noResources ? "" : "Radar");

    Schedule().SetCells(sfTime, 1, "1200");
    form_.ExitSaveButtonClick();
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(0, 4), "1200");
    EXPECT_EQ(ReadTextFile(dir_.File("resource.txt"))[0].substr(0, 6), "Region");
    form_.show();
    EXPECT_EQ(Note(), "");
    EXPECT_FALSE(form_.Form().MissingFilesNote->isVisible());
    form_.CloseNoSaveButtonClick();
  }
}

TEST_F(ScheduleFormTest, EscapeNeverClosesTheEditor) {
  form_.show();
  Schedule().SetCells(sfTime, 1, "1111");
  for (QWidget* target : {static_cast<QWidget*>(&form_), static_cast<QWidget*>(&Schedule())}) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &escape);
    EXPECT_TRUE(form_.isVisible());
  }
  EXPECT_EQ(Schedule().Cells(sfTime, 1), "1111");
}

// The close box with unsaved changes asks; without changes it closes at once.
TEST_F(ScheduleFormTest, TheCloseBoxAsksAboutUnsavedChanges) {
  struct TCase {
    QMessageBox::StandardButton answer;
    bool stillOpen;
    std::string savedTime;  // the first schedule line's time afterwards
  };
  for (const TCase& c : std::vector<TCase>{{QMessageBox::Cancel, true, "2359"},
                                           {QMessageBox::No, false, "2359"},
                                           {QMessageBox::Yes, false, "1111"}}) {
    SCOPED_TRACE(c.savedTime + (c.stillOpen ? " open" : " closed"));
    WriteListFiles({Event("2359", "Late", "http://a/late.gif")}, {kTitles});
    asked_.clear();
    form_.show();
    Schedule().SetCells(sfTime, 1, "1111");
    AnswerNextQuestion(c.answer);
    form_.close();
    EXPECT_EQ(asked_, Lines{"Save changes to the schedule and the resources?"});
    EXPECT_EQ(form_.isVisible(), c.stillOpen);
    EXPECT_EQ(ReadTextFile(dir_.File("schedule.txt"))[0].substr(0, 4), c.savedTime);
    form_.CloseNoSaveButtonClick();
  }
  asked_.clear();
  form_.show();
  form_.close();
  EXPECT_FALSE(form_.isVisible());
  EXPECT_EQ(asked_, Lines{});
}

// Every title stays readable however large the font: columns grow to their titles.
TEST_F(ScheduleFormTest, ColumnsGrowWithTheFontSoThatEveryTitleIsReadable) {
  for (int points : {8, 14, 24}) {
    TScheduleForm form(dir_.Path());
    QFont font = form.font();
    font.setPointSize(points);
    form.setFont(font);
    form.show();
    for (TStringGrid* grid : {form.Form().SourceGrid, form.Form().StringGrid1}) {
      const QHeaderView& header = *grid->horizontalHeader();
      const int margins =
          2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
      for (int column = 0; column < grid->columnCount(); ++column) {
        const QString title = QString::fromStdString(grid->Cells(column, 0));
        EXPECT_GE(grid->columnWidth(column),
                  QFontMetrics(header.font()).horizontalAdvance(title) + margins)
            << points << " pt, " << title.toStdString();
      }
    }
    form.CloseNoSaveButtonClick();
  }
}

TEST_F(ScheduleFormTest, TheWindowCanBeEnlargedAndTheGridsGrowWithIt) {
  form_.show();
  const QSize resources = Resources().size();
  const QSize schedule = Schedule().size();
  form_.resize(1200, 900);
  QApplication::processEvents();
  EXPECT_EQ(form_.size(), QSize(1200, 900));
  EXPECT_GT(Resources().width(), resources.width() + 300);
  EXPECT_GT(Resources().height(), resources.height() + 100);
  EXPECT_GT(Schedule().width(), schedule.width() + 300);
  EXPECT_GT(Schedule().height(), schedule.height() + 100);
  form_.resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(form_.size(), QSize(769, 582));
}

// A second press during a preview's download would only meet the busy client: the buttons
// wait for the preview's end, which may come much later, or for its error at once.
TEST_F(ScheduleFormTest, PreviewButtonsAreDisabledWhileAPreviewRunsAndEnabledAfterAnError) {
  form_.show();
  const auto enabled = [this] {
    return form_.Form().ResourcePreviewButton->isEnabled() ||
           form_.Form().SchedulePreviewButton->isEnabled();
  };
  std::function<void()> end;
  form_.SetPreviewer([&](const std::string&, std::function<void()> ended) { end = ended; });
  Schedule().SetRow(1);
  form_.SchedulePreviewButtonClick();
  EXPECT_FALSE(enabled()) << "the download runs on";
  end();
  EXPECT_TRUE(form_.Form().ResourcePreviewButton->isEnabled());
  EXPECT_TRUE(form_.Form().SchedulePreviewButton->isEnabled());

  bool enabledDuring = true;
  form_.SetPreviewer([&](const std::string&, std::function<void()>) {
    enabledDuring = enabled();
    throw Exception("Cannot open file x.gif");
  });
  form_.SchedulePreviewButtonClick();
  EXPECT_FALSE(enabledDuring);
  EXPECT_TRUE(enabled());
  EXPECT_EQ(ShownError(), "Cannot open file x.gif");
}
