#include "station/utc_clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "runtime/exceptions.h"
#include "runtime/text_file.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

class UtcClockTest : public ::testing::Test {
 protected:
  void LoadSchedule(const Lines& lines) {
    WriteTextFile(dir_.File("schedule.txt"), lines);
    table_.Load(dir_.File("schedule.txt"));
  }
  TClockTick TickAt(int hour, int minute, int second, TTimeZoneInformation info) {
    clock_.Set({2004, 3, 7, hour, minute, second, 0});
    zone_.Set(info);
    return clock_tick_.Tick(table_);
  }

  TempDir dir_;
  FakeClock clock_;
  FakeTimeZone zone_;
  TEventTable table_;
  TUtcClock clock_tick_{clock_, zone_};
};

const std::string kEvent0930 =
    "0930 y Radar                                              http://x/a.gif";

}  // namespace

TEST_F(UtcClockTest, StandardTimeAddsTheBaseBiasAndQueuesTheMatchingEvent) {
  LoadSchedule({kEvent0930, "1030 n Other"});
  const TClockTick tick = TickAt(10, 30, 15, {tzsStandard, -60, 0, -60});
  EXPECT_EQ(tick.time, "09:30:15");
  EXPECT_EQ(tick.queued, Lines{kEvent0930});
}

TEST_F(UtcClockTest, DaylightTimeAddsBaseAndDaylightBias) {
  EXPECT_EQ(TickAt(5, 59, 59, {tzsDaylight, 300, 0, -60}).time, "09:59:59");
}

TEST_F(UtcClockTest, StandardTimeDoesNotAddTheStandardBias) {
  EXPECT_EQ(TickAt(12, 0, 0, {tzsStandard, 0, 30, 0}).time, "12:00:00");
}

TEST_F(UtcClockTest, TimeOfDayWrapsPastMidnightBothWays) {
  EXPECT_EQ(TickAt(0, 30, 0, {tzsStandard, 60, 0, 0}).time, "01:30:00");
  EXPECT_EQ(TickAt(0, 30, 0, {tzsStandard, -60, 0, 0}).time, "23:30:00");
}

TEST_F(UtcClockTest, ZoneWithoutDaylightSavingRunsAsStandardTime) {
  EXPECT_EQ(TickAt(8, 1, 2, {tzsUnknown, -330, 0, 0}).time, "02:31:02");
}

TEST_F(UtcClockTest, FailedQueryRaisesTheDesignedMessage) {
  try {
    TickAt(8, 1, 2, {tzsInvalid, 0, 0, 0});
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Error converting to UTC Time.  Timezone could not be determined.");
  }
}

TEST_F(UtcClockTest, OnlyExactFourDigitTimesMatch) {
  LoadSchedule({"9:30 colon form", "", "093", "0930", "09300", "0931x", "093O"});
  EXPECT_EQ(table_.Count(), 7);  // empty and short lines still count as events
  EXPECT_EQ(TickAt(9, 30, 0, {tzsStandard, 0, 0, 0}).queued, (Lines{"0930", "09300"}));
}

TEST_F(UtcClockTest, AnEventListedTwiceIsQueuedTwiceInTableOrder) {
  LoadSchedule({"1200 a", "1200 b", "1200 a"});
  EXPECT_EQ(TickAt(12, 0, 0, {tzsStandard, 0, 0, 0}).queued, (Lines{"1200 a", "1200 b", "1200 a"}));
}

// After an edit the current minute is processed again, but a line already queued in it
// is not queued a second time; a line the edit added (or a second copy of one) is.
TEST_F(UtcClockTest, AnEditQueuesOnlyTheLinesItAddedToTheCurrentMinute) {
  LoadSchedule({"1200 a", "1200 b"});
  const TTimeZoneInformation utc{tzsStandard, 0, 0, 0};
  EXPECT_EQ(TickAt(12, 0, 0, utc).queued, (Lines{"1200 a", "1200 b"}));
  EXPECT_TRUE(TickAt(12, 0, 30, utc).queued.empty());
  LoadSchedule({"1200 a", "1200 b changed", "1200 a"});
  clock_tick_.ScheduleEdited();
  EXPECT_EQ(clock_tick_.LastMinute(), "----");
  EXPECT_EQ(TickAt(12, 0, 45, utc).queued, (Lines{"1200 b changed", "1200 a"}));
  clock_tick_.ScheduleEdited();
  EXPECT_TRUE(TickAt(12, 0, 50, utc).queued.empty());
}

struct TJumpCase {
  int fromMinute, toMinute;  // minutes after 12:00 of two ticks in a row
  Lines queued;
  std::string note;
};

// Skipped minutes are caught up, oldest first and at most an hour back; a clock set back
// queues no minute twice.
TEST_F(UtcClockTest, TheFirstTickAfterAGapCatchesUpAndASetBackClockQueuesNothingTwice) {
  LoadSchedule({"1201 a", "1202 b", "1203 c", "1300 d", "1301 e", "1302 f"});
  const std::vector<TJumpCase> cases{
      {0,
       2,
       {"1201 a", "1202 b"},
       "Clock jumped from 12:00 to 12:02: 1 events of 12:01 queued late"},
      {0,
       4,
       {"1201 a", "1202 b", "1203 c"},
       "Clock jumped from 12:00 to 12:04: 3 events of 12:01-12:03 queued late"},
      {0,
       62,
       {"1202 b", "1203 c", "1300 d", "1301 e", "1302 f"},
       "Clock jumped from 12:00 to 13:02: 4 events of 12:02-13:01 queued late, 1 older events "
       "skipped"},
      {3, 1, {}, ""},
      {3, 3, {}, ""},
  };
  for (const TJumpCase& jump : cases) {
    TUtcClock clock(clock_, zone_);
    clock_.Set({2004, 3, 7, 12, 0, 59, 0});
    clock_.AdvanceMinutes(jump.fromMinute);
    clock.Tick(table_);
    clock_.Set({2004, 3, 7, 12, 0, 1, 0});
    clock_.AdvanceMinutes(jump.toMinute);
    const TClockTick tick = clock.Tick(table_);
    EXPECT_EQ(tick.queued, jump.queued) << jump.fromMinute << " -> " << jump.toMinute;
    EXPECT_EQ(tick.note, jump.note);
    if (jump.toMinute < jump.fromMinute) {  // back to where it was: still nothing twice
      clock_.AdvanceMinutes(jump.fromMinute - jump.toMinute);
      EXPECT_TRUE(clock.Tick(table_).queued.empty());
      clock_.AdvanceMinutes(1);
      EXPECT_EQ(clock.Tick(table_).queued.size(), 0u);  // 12:04 has no event
    }
  }
}

// A clock that started at 1970 and is then set right skips decades of minutes: their
// events are counted, not visited one minute at a time, and the last hour is caught up.
TEST_F(UtcClockTest, AJumpOfDecadesIsCountedNotWalked) {
  LoadSchedule({"1130 a", "1159 b"});
  const TTimeZoneInformation utc{tzsStandard, 0, 0, 0};
  clock_.Set({1970, 1, 1, 12, 0, 59, 0});
  clock_tick_.Tick(table_);
  clock_.Set({2026, 12, 8, 12, 0, 1, 0});
  zone_.Set(utc);
  const TClockTick tick = clock_tick_.Tick(table_);
  EXPECT_EQ(tick.queued, (Lines{"1130 a", "1159 b"}));
  const int64_t days =
      (EncodeDateTime({2026, 12, 8}).ms - EncodeDateTime({1970, 1, 2}).ms) / kMillisecondsPerDay;
  EXPECT_EQ(tick.note, "Clock jumped from 12:00 to 12:00: 2 events of 11:00-11:59 queued late, " +
                           std::to_string(2 * days) + " older events skipped");
}

TEST(EventTable, KeepsAtMostOneHundredLinesAndCountsTheRest) {
  TempDir dir;
  Lines lines;
  for (int i = 0; i < 105; ++i) lines.push_back("line " + std::to_string(i));
  WriteTextFile(dir.File("schedule.txt"), lines);
  TEventTable table;
  EXPECT_EQ(table.Load(dir.File("schedule.txt")), 5);
  EXPECT_EQ(table.Count(), 100);
  EXPECT_EQ(table.Lines().back(), "line 99");
  EXPECT_EQ(DroppedEventsMessage(5),
            "schedule.txt holds more than 100 events: the last 5 lines were ignored.");
}

TEST(EventTable, MissingFileEmptiesTheTableAndRaises) {
  TempDir dir;
  WriteTextFile(dir.File("schedule.txt"), {"1200 a"});
  TEventTable table;
  table.Load(dir.File("schedule.txt"));
  std::remove(dir.File("schedule.txt").c_str());
  EXPECT_THROW(table.Load(dir.File("schedule.txt")), EFOpenError);
  EXPECT_EQ(table.Count(), 0);
}

namespace {

// A clock whose own reading pairs its time with an offset; asked apart, the zone would
// give the offset of a later instant, after a switch.
class ReadingClock : public FakeClock {
 public:
  TLocalTime NowIn(const TTimeZone&) const override { return {Now(), {tzsDaylight, -60, 0, 0}}; }
};

}  // namespace

TEST(UtcNowForClock, ReadsClockAndZoneAsOneInstant) {
  ReadingClock clock;
  clock.Set({2026, 3, 29, 2, 0, 0});
  const FakeTimeZone after({tzsStandard, 0, 0, 0});
  EXPECT_EQ(UtcNowForClock(clock, after), EncodeDateTime({2026, 3, 29, 1, 0, 0}));
}

// The machine's own clock in zones whose daylight saving is negative or a half hour: the
// UTC it gives is the platform's UTC.
TEST(UtcNowForClock, SystemClockGivesTheUtcOfTheMomentInEveryZone) {
  for (const char* name : {"Europe/Dublin", "Africa/Casablanca", "Australia/Lord_Howe",
                           "Asia/Kolkata", "America/New_York"}) {
    setenv("TZ", name, 1);
    tzset();
    const int64_t before = static_cast<int64_t>(time(nullptr));
    const TDateTime utc = UtcNowForClock(SystemClock(), SystemTimeZone());
    const int64_t after = static_cast<int64_t>(time(nullptr));
    constexpr int64_t kDaysFrom1899To1970 = 25569;
    const int64_t seconds = utc.ms / 1000 - kDaysFrom1899To1970 * 86400;
    EXPECT_GE(seconds, before) << name;
    EXPECT_LE(seconds, after) << name;
  }
  unsetenv("TZ");
  tzset();
}
