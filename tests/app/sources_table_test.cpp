// The main window's sources table and the status bar's count of failing sources, over two
// days of a station with a good, a failing, a given-up and an unchanged source.

#include "app/qt_sources_table.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QStatusBar>

#include "app/main_form.h"
#include "app/source_texts.h"
#include "gui/application.h"
#include "runtime/strings.h"
#include "runtime/text_file.h"
#include "schedule/schedule_event.h"
#include "tests/support/fake_clock.h"
#include "tests/support/giflib_peer.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"
#include "tests/support/temp_dir.h"
#include "ui_main_form.h"

namespace {

const TDateTime kFirstDay = EncodeDateTime({2026, 12, 8, 2, 15, 5});
const TDateTime kSecondDay = EncodeDateTime({2026, 12, 9, 2, 15, 5});
// What a source serving a maintenance page in place of its chart fails with.
const std::string kMaintenance = "the download is not an image (text/html)";

std::string Gif(int width, int height) {
  PeerGif gif{width, height, 2, {}};
  gif.Frames.push_back(PeerFrame{0, 0, width, height, false, 0, -1, 0, 0,
                                 std::vector<uint8_t>(static_cast<size_t>(width * height), 1)});
  const std::vector<uint8_t> bytes = WriteGiflibGif(gif);
  return {bytes.begin(), bytes.end()};
}

// What a row shows, cell by cell, and its state's colour.
struct TShownRow {
  std::vector<std::string> cells;
  QColor state;
};

class SourcesTableTest : public ::testing::Test {
 protected:
  SourcesTableTest() {
    server_.Serve("/good.gif", Gif(6, 4));
    server_.Serve("/same.gif", Gif(5, 3));
    server_.Serve("/flaky.gif", "<html>Back soon</html>", 200, "text/html");
    std::vector<std::string> schedule;
    for (const char* title : {"Good", "Dead", "Same", "Flaky"}) {
      const std::string name = LowerCase(title);
      schedule.push_back(ScheduleEvent{
          {"0215", "n", title, server_.Url("/" + name + ".gif"), "n", dir_.File(name + ".bmp")}}
                             .ToLine());
    }
    WriteTextFile(dir_.File("schedule.txt"), schedule);
    clock_.Set(kFirstDay);
  }
  ~SourcesTableTest() override { TApplication::Instance().ErrorDisplay().Dismiss(); }

  void Settle() {
    ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [&] { return form_->Station().Settled(); }));
  }
  // Steady time passes, a minute a tick, until the failing lines are given up.
  void RunOutTheRetries() {
    for (int minutes = 0; minutes < 15 && !form_->QueueLines().empty(); ++minutes) {
      steady_.AdvanceSeconds(60);
      form_->Station().Tick();
      Settle();
    }
  }
  TShownRow Row(const std::string& title) {
    const TQtSourcesTable& table = *form_->Form().SourcesTable;
    for (int row = 0; row < table.rowCount(); ++row) {
      if (table.item(row, TQtSourcesTable::scTitle)->text().toStdString() != title) continue;
      TShownRow shown;
      for (int column = 0; column < table.columnCount(); ++column)
        shown.cells.push_back(table.item(row, column)->text().toStdString());
      shown.state = table.item(row, TQtSourcesTable::scState)->background().color();
      return shown;
    }
    return {};
  }
  std::string Failing() {
    return form_->statusBar()->findChild<QLabel*>("FailingSources")->text().toStdString();
  }

  TempDir dir_;
  THttpFileServer server_;
  FakeClock clock_;
  FakeTimeZone zone_{{tzsStandard, 0, 0, 0}};
  FakeSteadyClock steady_;
  std::unique_ptr<TMainForm> form_ = std::make_unique<TMainForm>(
      TMainFormEnvironment{&clock_, &zone_, dir_.Path(), {}, &steady_, 0});
};

}  // namespace

TEST_F(SourcesTableTest, ShowsEachSourcesStateUntilItDeliversAgain) {
  const QColor green(200, 240, 200), orange(255, 214, 140), red(240, 128, 128),
      yellow(240, 230, 120);
  const std::string firstDay = "2026-12-08 02:15", secondDay = "2026-12-09 02:15";
  form_->show();
  EXPECT_EQ(Row("Good").cells, (std::vector<std::string>{"02:15", "Good", "new", "", "", ""}));
  EXPECT_EQ(form_->Form().SourcesTable->item(0, TQtSourcesTable::scState)->background().style(),
            Qt::NoBrush);
  form_->Station().Tick();
  Settle();
  struct TCheck {
    std::string title;
    std::vector<std::string> cells;
    QColor state;
  };
  const auto check = [this](const std::vector<TCheck>& checks) {
    for (const TCheck& c : checks) {
      const TShownRow row = Row(c.title);
      EXPECT_EQ(row.cells, c.cells) << c.title;
      EXPECT_EQ(row.state, c.state) << c.title;
    }
  };
  check({{"Good", {"02:15", "Good", "ok", firstDay, "", ""}, green},
         {"Dead", {"02:15", "Dead", "retrying", "", firstDay, "404 Not Found"}, orange},
         {"Same", {"02:15", "Same", "ok", firstDay, "", ""}, green},
         {"Flaky", {"02:15", "Flaky", "retrying", "", firstDay, kMaintenance}, orange}});
  EXPECT_EQ(Failing(), "2 sources failing since 02:15");

  RunOutTheRetries();
  check({{"Dead", {"02:15", "Dead", "given up", "", firstDay, "404 Not Found"}, red},
         {"Flaky", {"02:15", "Flaky", "given up", "", firstDay, kMaintenance}, red}});
  EXPECT_EQ(Failing(), "2 sources failing since 02:15") << "given up is still failing";

  // The next day the flaky source delivers and leaves the count; the one serving
  // yesterday's bytes joins it; the dead one stays red since the first day.
  server_.Serve("/flaky.gif", Gif(3, 3));
  server_.Serve("/good.gif", Gif(7, 4));
  clock_.Set(kSecondDay);
  steady_.AdvanceSeconds(24 * 60 * 60);
  form_->Station().Tick();
  Settle();
  check({{"Good", {"02:15", "Good", "ok", secondDay, "", ""}, green},
         {"Dead", {"02:15", "Dead", "given up", "", firstDay, "404 Not Found"}, red},
         {"Same", {"02:15", "Same", "unchanged", secondDay, firstDay, ""}, yellow},
         {"Flaky", {"02:15", "Flaky", "ok", secondDay, "", ""}, green}});
  EXPECT_EQ(Failing(), "2 sources failing since 2026-12-08 02:15");

  // Sorting by state puts the failing ones together; the next refresh keeps that order.
  QHeaderView& header = *form_->Form().SourcesTable->horizontalHeader();
  header.setSortIndicator(TQtSourcesTable::scState, Qt::AscendingOrder);
  const auto titles = [this] {
    std::vector<std::string> shown;
    const TQtSourcesTable& table = *form_->Form().SourcesTable;
    for (int row = 0; row < table.rowCount(); ++row)
      shown.push_back(table.item(row, TQtSourcesTable::scTitle)->text().toStdString());
    return shown;
  };
  const std::vector<std::string> byState{"Dead", "Good", "Flaky", "Same"};
  EXPECT_EQ(titles(), byState);
  clock_.AdvanceMinutes(1);
  form_->Station().Tick();
  EXPECT_EQ(titles(), byState);
}

TEST(SourceTexts, CountsTheFailingSourcesSinceTheEarliest) {
  const TDateTime now = EncodeDateTime({2026, 12, 9, 9, 0, 0});
  int line = 0;
  const auto row = [&line](TSourceState state, std::optional<TDateTime> failing,
                           std::optional<TDateTime> unchanged = std::nullopt) {
    TSourceRow source;
    source.url = "http://x/" + std::to_string(++line) + ".gif";
    source.state = state;
    source.failingSince = failing;
    source.unchangedSince = unchanged;
    return source;
  };
  const TDateTime early = EncodeDateTime({2026, 12, 9, 2, 15, 0});
  const TDateTime later = EncodeDateTime({2026, 12, 9, 8, 40, 0});
  const TDateTime yesterday = EncodeDateTime({2026, 12, 8, 23, 50, 0});
  const std::vector<std::pair<std::vector<TSourceRow>, std::string>> cases{
      {{}, ""},
      {{row(ssOk, std::nullopt), row(ssNew, std::nullopt)}, ""},
      {{row(ssRetrying, later)}, "1 source failing since 08:40"},
      {{row(ssRetrying, later), row(ssGivenUp, early), row(ssUnchanged, std::nullopt, later)},
       "3 sources failing since 02:15"},
      {{row(ssUnchanged, std::nullopt, yesterday), row(ssOk, early)},
       "1 source failing since 2026-12-08 23:50"},
      {{row(ssGivenUp, std::nullopt)}, "1 source failing"},
  };
  TSourceRow again = cases[3].first[1];
  again.failingSince = yesterday;
  EXPECT_EQ(FailingSourcesText({cases[3].first[1], again}, now),
            "1 source failing since 2026-12-08 23:50")
      << "two lines of one URL are one source";
  for (const auto& [rows, text] : cases) EXPECT_EQ(FailingSourcesText(rows, now), text) << text;
  EXPECT_EQ(SourceTimeText(std::nullopt), "");
  EXPECT_EQ(SourceTimeText(yesterday), "2026-12-08 23:50");
}
