// The station's clock under gaps and failures: minutes the clock skipped are caught up at
// the tick after the gap, however long it was, and the clock's own timer goes on ticking
// through a spell in which the zone cannot be told.

#include "tests/station/station_fixture.h"
#include "tests/support/http_file_server.h"
#include "tests/support/pump.h"

namespace {

class StationClockTest : public StationTest {
 protected:
  StationClockTest() { server_.Serve("/chart.gif", PeerGifBytes(6, 4)); }
  std::string Line(const std::string& hhmm, const std::string& target) {
    return StationLine(hhmm, server_.Url("/chart.gif"), dir_.File(target));
  }

  THttpFileServer server_;
};

struct TGap {
  const char* what;
  TDateTimeParts after;  // where the clock is at the tick after the gap
  std::string note;      // the log's line for the jump
};

}  // namespace

// Started at 10:15, the clock next reads 10:18: the lines of 10:16 and 10:17 are caught up
// and saved with 10:18's. A clock that jumps a year to 10:18 does the same, since only the
// last hour is caught up; the year's other events are counted in the log.
TEST_F(StationClockTest, MinutesSkippedAreCaughtUpAtTheTickAfterTheGap) {
  const std::vector<TGap> gaps{
      {"three minutes",
       {2026, 12, 8, 10, 18, 10},
       "Clock jumped from 10:15 to 10:18: 2 events of 10:16-10:17 queued late"},
      {"a year",
       {2027, 12, 8, 10, 18, 10},
       "Clock jumped from 10:15 to 10:18: 2 events of 09:18-10:17 queued late, 1095 older "
       "events skipped"},
  };
  for (const TGap& gap : gaps) {
    clock_.Set({2026, 12, 8, 10, 15, 5});
    Start({Line("1016", "a.gif"), Line("1017", "b.gif"), Line("1018", "c.gif")});
    Settle();
    ASSERT_TRUE(report_->saves.empty()) << gap.what;
    clock_.Set(gap.after);
    Tick();
    Settle();
    EXPECT_EQ(report_->saves.size(), 3u) << gap.what;
    for (const char* name : {"a.gif", "b.gif", "c.gif"})
      EXPECT_TRUE(FileExists(dir_.File(name))) << gap.what << ": " << name;
    EXPECT_EQ(Count(gap.note), 1u) << gap.what << "\n" << Log();
    station_.reset();
    for (const char* name : {"a.gif", "b.gif", "c.gif", "isoview.log", "saved.txt"})
      std::remove(dir_.File(name).c_str());
  }
}

// The station's own timer ticks on while the zone fails, and queues the minute once it
// answers again.
TEST_F(StationClockTest, TheClockTimerTicksOnThroughAFailingZone) {
  tickIntervalMs_ = 1;
  zone_.Set({tzsInvalid, 0, 0, 0});
  Start({Line("1015", "a.gif")});
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [this] { return report_->clocks.size() >= 3; }));
  EXPECT_EQ(report_->clocks.back().time, "");
  EXPECT_EQ(report_->errors.size(), 1u) << "told once for the spell";
  zone_.Set({tzsStandard, 0, 0, 0});
  ASSERT_TRUE(PumpUntil(MessageLoop::Current(), [this] { return FileExists(dir_.File("a.gif")); }));
  EXPECT_EQ(report_->clocks.back().time, "10:15:05");
}
