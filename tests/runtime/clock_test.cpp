#include "runtime/clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

TEST(DateTime, EncodeDecodeRoundTripAndMinuteArithmetic) {
  const TDateTime t = EncodeDateTime({2004, 3, 7, 10, 30, 15, 250});
  const TDateTimeParts back = DecodeDateTime(IncMinutes(t, -60));
  EXPECT_EQ(back.year, 2004);
  EXPECT_EQ(back.hour, 9);
  EXPECT_EQ(back.minute, 30);
  EXPECT_EQ(back.second, 15);
  EXPECT_EQ(back.millisecond, 250);
  EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0}).ms, 0);
  EXPECT_EQ(EncodeDateTime({1900, 1, 1, 0, 0, 0, 0}).ms, 2 * kMillisecondsPerDay);
}

TEST(DateTime, YearRollOverAndLeapDay) {
  const TDateTimeParts p = DecodeDateTime(IncMinutes(EncodeDateTime({2003, 12, 31, 23, 30}), 60));
  EXPECT_EQ(p.year, 2004);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.minute, 30);
  const TDateTimeParts leap = DecodeDateTime(IncMinutes(EncodeDateTime({2004, 2, 28, 23, 0}), 60));
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
}

namespace {

// Sets TZ for one test and puts the previous value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = getenv("TZ")) previous_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_)
      setenv("TZ", previous_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> previous_;
};

}  // namespace

TEST(SystemTimeZone, ZoneWithoutDaylightSavingIsReportedAsUnknown) {
  ScopedTimeZone zone("UTC0");
  const TTimeZoneInformation info = SystemTimeZone().Query();
  EXPECT_EQ(info.State, tzsUnknown);
  EXPECT_EQ(info.Bias, 0);
  EXPECT_EQ(info.DaylightBias, 0);
}

namespace {

struct TZoneCase {
  const char* zone;
  TDateTimeParts utc;
  TDateTimeParts local;
};

time_t UnixSeconds(const TDateTimeParts& utc) {
  constexpr int64_t kDaysFrom1899To1970 = 25569;
  return static_cast<time_t>(EncodeDateTime(utc).ms / 1000 - kDaysFrom1899To1970 * 86400);
}

}  // namespace

// Local time and offset of one instant, each case with TZ set for it. Irish winter time
// and Ramadan in Morocco are daylight saving with a negative offset in the zone database;
// Lord Howe's daylight saving is half an hour; India has none.
TEST(LocalTimeAt, EveryZoneAndEveryInstantConvertsBackToItsUtc) {
  const TZoneCase cases[] = {
      {"Europe/Dublin", {2026, 1, 15, 12, 0, 0}, {2026, 1, 15, 12, 0, 0}},
      {"Europe/Dublin", {2026, 7, 15, 12, 0, 0}, {2026, 7, 15, 13, 0, 0}},
      {"Europe/Dublin", {2026, 3, 29, 0, 59, 59}, {2026, 3, 29, 0, 59, 59}},
      {"Europe/Dublin", {2026, 3, 29, 1, 0, 0}, {2026, 3, 29, 2, 0, 0}},
      {"Europe/Dublin", {2026, 10, 25, 0, 59, 59}, {2026, 10, 25, 1, 59, 59}},
      {"Europe/Dublin", {2026, 10, 25, 1, 0, 0}, {2026, 10, 25, 1, 0, 0}},
      {"Africa/Casablanca", {2026, 3, 1, 12, 0, 0}, {2026, 3, 1, 12, 0, 0}},
      {"Africa/Casablanca", {2026, 6, 1, 12, 0, 0}, {2026, 6, 1, 13, 0, 0}},
      {"Australia/Lord_Howe", {2026, 1, 15, 12, 0, 0}, {2026, 1, 15, 23, 0, 0}},
      {"Australia/Lord_Howe", {2026, 7, 15, 12, 0, 0}, {2026, 7, 15, 22, 30, 0}},
      {"Asia/Kolkata", {2026, 7, 15, 12, 0, 0}, {2026, 7, 15, 17, 30, 0}},
      {"UTC0", {2026, 12, 31, 23, 59, 59}, {2026, 12, 31, 23, 59, 59}},
  };
  for (const TZoneCase& c : cases) {
    ScopedTimeZone zone(c.zone);
    const TLocalTime now = LocalTimeAt({UnixSeconds(c.utc), 250000000});
    TDateTimeParts expected = c.local;
    expected.millisecond = 250;
    const std::string where = std::string(c.zone) + " at " + std::to_string(c.utc.month) + "/" +
                              std::to_string(c.utc.day) + " " + std::to_string(c.utc.hour);
    EXPECT_EQ(now.Local, EncodeDateTime(expected)) << where;
    ASSERT_NE(now.Zone.State, tzsInvalid) << where;
    const int daylight = now.Zone.State == tzsDaylight ? now.Zone.DaylightBias : 0;
    EXPECT_EQ(IncMinutes(now.Local, now.Zone.Bias + daylight).ms, EncodeDateTime(c.utc).ms + 250)
        << where;
  }
}
