#include "program/event_log.h"

#include <gtest/gtest.h>

#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

TEST(EventLog, StampIsUtcDateAndTime) {
  EXPECT_EQ(LogStamp(EncodeDateTime({2004, 3, 7, 14, 5, 9, 999})), "2004-03-07 14:05:09 UTC ");
}

TEST(EventLog, AppendsOneLinePerEventStampedInUtcAndFlattensLineBreaks) {
  TempDir dir;
  const FakeClock clock(EncodeDateTime({2004, 1, 1, 0, 30, 0}));
  // One hour east of Greenwich, daylight time: UTC is the local time less two hours.
  FakeTimeZone zone({tzsDaylight, -60, 0, -60});
  TEventLog log(dir.File("isoview.log"), clock, zone);
  log.Add("first");
  zone.Set({tzsInvalid, -60, 0, -60});
  log.Add("two\r\nlines");
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log")),
            (std::vector<std::string>{"2003-12-31 22:30:00 UTC first",
                                      "2004-01-01 00:30:00 UTC two  lines"}));
}

TEST(EventLog, UnwritableLogIsIgnored) {
  TEventLog log("/nonexistent-folder/isoview.log");
  EXPECT_NO_THROW(log.Add("nothing happens"));
}

TEST(EventLog, AFullDiskLosesWholeLinesOnlyAndCountsThem) {
  TempDir dir;
  const FakeClock clock(EncodeDateTime({2026, 12, 8, 15, 11, 1}));
  TEventLog log(dir.File("isoview.log"), clock);
  log.Add("before");
  {
    // Room for the first line and part of the next.
    TFileSizeLimit full(60);
    for (int i = 1; i <= 3; ++i) log.Add("Downloaded http://example.invalid/chart.gif");
    EXPECT_EQ(log.LostLines(), 3);
  }
  log.Add("after");
  EXPECT_EQ(log.LostLines(), 0);
  const std::string stamp = "2026-12-08 15:11:01 UTC ";
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log")),
            (std::vector<std::string>{stamp + "before", stamp + "3 log lines could not be written",
                                      stamp + "after"}));
}

TEST(EventLog, PastItsSizeTheLogStartsAfreshAndKeepsOneOlderFile) {
  TempDir dir;
  const FakeClock clock(EncodeDateTime({2026, 12, 8, 15, 11, 1}));
  TEventLog log(dir.File("isoview.log"), clock);
  log.SetRotationSize(100);
  const auto lines = [](int from, int to) {
    std::vector<std::string> expected;
    for (int i = from; i <= to; ++i)
      expected.push_back("2026-12-08 15:11:01 UTC line " + std::to_string(i));
    return expected;
  };
  // 31 bytes a line: the fifth finds the file past 100 bytes.
  for (int i = 1; i <= 7; ++i) log.Add("line " + std::to_string(i));
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log.1")), lines(1, 4));
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log")), lines(5, 7));
  for (int i = 8; i <= 11; ++i) log.Add("line " + std::to_string(i));
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log.1")), lines(5, 8));
  EXPECT_EQ(ReadTextFile(dir.File("isoview.log")), lines(9, 11));
}
