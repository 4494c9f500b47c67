// What the station keeps across restarts and how it paces its reports: the sources'
// history file (with fields of later versions kept), the last save told at the start, and
// progress at most ten times a second.

#include "archive/saved_list.h"
#include "station/source_history.h"
#include "station/update_throttle.h"
#include "tests/station/station_fixture.h"

TEST(SourceHistory, ReadsWhatItWritesAndKeepsFieldsItDoesNotKnow) {
  const std::string text =
      "# a comment\n"
      "http://a/x.gif\tgiveups=3\tlast-giveup=2026-12-08 10:15:05 UTC\tfailing=yes\t"
      "last-good=2026-12-07 09:00:00 UTC\n"
      "damaged line without fields\n"
      "http://b/y.gif\tgiveups=1\tfailing=no\r\n";
  const TSourceRecords records = ParseSourceHistory(text);
  ASSERT_EQ(records.size(), 2u);
  const TSourceRecord& a = records.at("http://a/x.gif");
  EXPECT_EQ(a.giveUps, 3);
  EXPECT_EQ(a.lastGiveUp, EncodeDateTime({2026, 12, 8, 10, 15, 5}));
  EXPECT_TRUE(a.failing);
  EXPECT_EQ(a.otherFields.at("last-good"), "2026-12-07 09:00:00 UTC");
  EXPECT_FALSE(records.at("http://b/y.gif").failing);
  EXPECT_EQ(ParseSourceHistory(SourceHistoryText(records)), records);
  TSourceRecords withTab = records;
  withTab["http://c/\tz.gif"].giveUps = 1;
  EXPECT_EQ(ParseSourceHistory(SourceHistoryText(withTab)), records) << "an unwritable URL";
}

TEST_F(StationTest, TheStartTellsTheLastSaveOfSavedTxt) {
  ASSERT_TRUE(
      RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2026, 12, 7, 9, 0, 0}), "/c/b.gif"}));
  ASSERT_TRUE(
      RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2026, 12, 8, 9, 0, 0}), "/c/a.gif"}));
  ASSERT_TRUE(
      RecordSave(dir_.File("saved.txt"), {EncodeDateTime({2026, 12, 6, 9, 0, 0}), "/c/c.gif"}));
  Start({});
  ASSERT_EQ(report_->saves.size(), 1u);
  EXPECT_EQ(report_->saves[0].path, "/c/a.gif");
  EXPECT_EQ(report_->saves[0].utc, EncodeDateTime({2026, 12, 8, 9, 0, 0}));
}

// Updates counted over a stream of changes: at most one per 100 ms of the clock.
TEST(UpdateThrottle, LetsThroughAtMostOneUpdatePerInterval) {
  struct TCase {
    const char* what;
    int64_t step;  // ms between changes
    int changes;
    int expected;
  };
  for (const TCase& c : std::vector<TCase>{{"a change every 10 ms for 1 s", 10, 100, 10},
                                           {"every 100 ms", 100, 10, 10},
                                           {"every 250 ms", 250, 8, 8},
                                           {"all at one instant", 0, 50, 1},
                                           {"every 99 ms", 99, 21, 11}}) {
    TUpdateThrottle throttle(100);
    int updates = 0;
    for (int i = 0; i < c.changes; ++i) updates += throttle.Due(1000000 + i * c.step);
    EXPECT_EQ(updates, c.expected) << c.what;
  }
  TUpdateThrottle throttle(100);
  EXPECT_TRUE(throttle.Due(5000));
  EXPECT_FALSE(throttle.Due(5050));
  throttle.Restart();
  EXPECT_TRUE(throttle.Due(5060)) << "a new download shows its first piece";
}
