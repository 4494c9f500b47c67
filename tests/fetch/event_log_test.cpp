#include "fetch/event_log.h"

#include <gtest/gtest.h>

#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
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
