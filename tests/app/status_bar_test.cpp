// The main window's status bar: what comes next, what was saved, how many sources fail,
// how far a download is; and the panel's controls following the window's right edge.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStatusBar>

#include "app/main_form.h"
#include "app/status_texts.h"
#include "archive/saved_list.h"
#include "gui/application.h"
#include "gui/elided_label.h"
#include "runtime/text_file.h"
#include "schedule/schedule_event.h"
#include "station/next_event.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

std::string Line(const std::string& time, const std::string& title,
                 const std::string& url = "http://x/a.gif") {
  return ScheduleEvent{{time, "n", title, url, "n", ""}}.ToLine();
}

struct TNextCase {
  const char* what;
  std::vector<std::string> lines;
  int hour, minute;
  std::string expected;  // NextEventText of the answer
};

}  // namespace

TEST(NextDueEvent, PicksTheFirstLineAfterTheCurrentMinuteGoingRoundMidnight) {
  const std::vector<TNextCase> cases{
      {"empty table", {}, 9, 30, "No events scheduled"},
      {"later today", {Line("0800", "Early"), Line("1015", "Radar")}, 9, 30, "Next: 10:15 Radar"},
      {"nearest, not first",
       {Line("2300", "Late"), Line("0931", "Soon")},
       9,
       30,
       "Next: 09:31 Soon"},
      {"only earlier ones: tomorrow",
       {Line("0800", "Early"), Line("0900", "Nine")},
       9,
       30,
       "Next: tomorrow 08:00 Early"},
      {"the current minute is queued already",
       {Line("0930", "Now")},
       9,
       30,
       "Next: tomorrow 09:30 Now"},
      {"past midnight",
       {Line("0005", "After"), Line("2200", "Before")},
       23,
       59,
       "Next: tomorrow 00:05 After"},
      {"the last minute of the day, from the one before",
       {Line("2359", "Last")},
       23,
       58,
       "Next: 23:59 Last"},
      {"equal times: table order",
       {Line("1000", "First"), Line("1000", "Second")},
       9,
       30,
       "Next: 10:00 First"},
      {"no title: the URL without password",
       {Line("1000", "", "http://user:secret@x/a.gif")},
       9,
       30,
       "Next: 10:00 http://user@x/a.gif"},
      {"lines that never fall due",
       {"", "09", "abcd Words", "2400 Hour", "0960 Minute", "+930 Sign", Line("1100", "Real")},
       9,
       30,
       "Next: 11:00 Real"},
  };
  TempDir dir;
  for (const TNextCase& c : cases) {
    WriteTextFile(dir.File("schedule.txt"), c.lines);
    TEventTable table;
    table.Load(dir.File("schedule.txt"));
    EXPECT_EQ(
        NextEventText(NextDueEvent(table, EncodeDateTime({2026, 12, 8, c.hour, c.minute, 45}))),
        c.expected)
        << c.what;
  }
}

TEST(StatusTexts, FailingSourcesAndDownloadProgress) {
  EXPECT_EQ(QueueText({}), "empty");
  EXPECT_EQ(QueueText({{"a", "b", "c", "d"}, 1, {}}), "3 waiting, 1 running");
  EXPECT_EQ(QueueText({{"a"}, 1, {}}), "1 running");
  const std::vector<std::tuple<int64_t, int64_t, std::string>> progress{
      {0, -1, "Received 0 bytes"},
      {5000, -1, "Received 5000 bytes"},
      {0, 0, "Received 0 bytes"},
      {1, 3, "Received 1 bytes (33%)"},
      {2999, 3000, "Received 2999 bytes (99%)"},
      {3000, 3000, "Received 3000 bytes (100%)"},
      {4000, 3000, "Received 4000 bytes (100%)"},
      // 3 GiB of a 4 GiB chart: no 32-bit overflow on the way.
      {3LL << 30, 4LL << 30, "Received 3221225472 bytes (75%)"},
  };
  for (const auto& [received, length, text] : progress)
    EXPECT_EQ(DownloadProgressText(received, length), text) << received << " of " << length;
  EXPECT_EQ(ProgressText({0, 0, -1}), "");
  EXPECT_EQ(ProgressText({1, 5, 10}), "Received 5 bytes (50%)");
  EXPECT_EQ(ProgressText({3, 5, -1}), "3 downloads: received 5 bytes");
  EXPECT_EQ(LastSavedText("/srv/charts/a.gif", EncodeDateTime({2026, 12, 8, 15, 12, 3})),
            "Saved 2026-12-08 15:12:03 UTC: /srv/charts/a.gif");
}

namespace {

class StatusBarTest : public ::testing::Test {
 protected:
  StatusBarTest() { clock_.Set({2026, 12, 8, 9, 30, 5}); }
  ~StatusBarTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  std::unique_ptr<TMainForm> Start(const std::vector<std::string>& schedule) {
    WriteTextFile(dir_.File("schedule.txt"), schedule);
    auto form = std::make_unique<TMainForm>(
        TMainFormEnvironment{&clock_, &zone_, dir_.Path(), {}, &steady_, 0});
    form->show();
    return form;
  }
  static std::string Part(TMainForm& form, const char* name) {
    const QLabel* label = form.statusBar()->findChild<QLabel*>(name);
    return label ? label->text().toStdString() : "(no " + std::string(name) + ")";
  }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_{{tzsStandard, 60, 0, 0}};  // local time one hour behind UTC
  FakeSteadyClock steady_;
};

}  // namespace

TEST_F(StatusBarTest, ShowsTheNextEventInUtc) {
  auto form = Start({Line("1015", "Radar"), Line("1045", "Satellite")});
  EXPECT_EQ(Part(*form, "FailingSources"), "");
  EXPECT_EQ(Part(*form, "LastSaved"), "Nothing saved yet");
  form->Station().Tick();  // 10:30:05 UTC
  EXPECT_EQ(Part(*form, "NextEvent"), "Next: 10:45 Satellite");
  clock_.AdvanceMinutes(20);
  form->Station().Tick();
  EXPECT_EQ(Part(*form, "NextEvent"), "Next: tomorrow 10:15 Radar");
}

// The panel's controls keep their places and the small viewer moves with the right edge;
// the sources table and the chart share what is below and grow with the window. The
// window cannot be made smaller than its controls need.
TEST_F(StatusBarTest, TheSourcesTableAndTheChartGrowWithTheWindowDownToAMinimumSize) {
  auto form = Start({});
  Ui::TMainForm& ui = form->Form();
  const QRect status1 = ui.Status1->geometry();
  int lastTableHeight = 1 << 20;
  for (const QSize size : {QSize(1200, 800), QSize(900, 500), QSize(200, 150)}) {
    form->resize(size);
    QCoreApplication::processEvents();
    EXPECT_GE(form->width(), form->minimumWidth());
    EXPECT_GE(form->height(), form->minimumHeight());
    const int panel = ui.BasicPanel->width();
    EXPECT_EQ(panel, form->width()) << size.width();
    EXPECT_EQ(panel - ui.ImageScrollBox1->geometry().right() - 1, 8) << size.width();
    EXPECT_EQ(ui.SourcesTable->width(), form->width()) << size.width();
    EXPECT_EQ(ui.ChartView->width(), form->width()) << size.width();
    EXPECT_LT(ui.SourcesTable->height(), lastTableHeight) << size.height();
    EXPECT_GT(ui.ChartView->height(), ui.SourcesTable->height()) << size.height();
    lastTableHeight = ui.SourcesTable->height();
    EXPECT_EQ(ui.Status1->geometry(), status1);
    EXPECT_LE(ui.Status1->geometry().right(), ui.ImageScrollBox1->x()) << "controls overlap";
  }
  EXPECT_GE(form->minimumWidth(), 688);
  EXPECT_LE(form->minimumWidth(), 800);
  EXPECT_GE(form->minimumHeight(), ui.BasicPanel->height() + form->statusBar()->height());
}

// A narrow window cuts the last save's text in its middle: the time stays in front and the
// file's name with its extension at the end; the tooltip and text() keep the whole.
TEST_F(StatusBarTest, TheLastSaveKeepsTheEndOfItsFileName) {
  const std::string path = "/srv/" + std::string(150, 'd') + "/wind_2026120809.gif";
  ASSERT_TRUE(RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2026, 12, 8, 9, 0, 0}), path}));
  auto form = Start({});
  form->resize(form->minimumWidth(), 400);
  QCoreApplication::processEvents();
  const auto* label = form->statusBar()->findChild<TElidedLabel*>("LastSaved");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().toStdString(), "Saved 2026-12-08 09:00:00 UTC: " + path);
  const std::string shown = label->ShownText().toStdString();
  EXPECT_LT(shown.size(), label->text().toStdString().size());
  EXPECT_EQ(shown.substr(0, 6), "Saved ");
  EXPECT_EQ(shown.substr(shown.size() - 20), "/wind_2026120809.gif") << shown;
  EXPECT_GE(form->statusBar()->width(), label->geometry().right());
}
