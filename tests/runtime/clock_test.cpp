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

TEST(SystemTimeZone, CentralEuropeanBiases) {
  // POSIX rule text, so the test needs no zone database.
  ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const TTimeZoneInformation info = SystemTimeZone().Query();
  EXPECT_TRUE(info.State == tzsStandard || info.State == tzsDaylight);
  EXPECT_EQ(info.Bias, -60);
  EXPECT_EQ(info.StandardBias, 0);
  EXPECT_EQ(info.DaylightBias, -60);
}

TEST(SystemTimeZone, SouthernHemisphereStandardIsTheSmallerOffset) {
  ScopedTimeZone zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
  const TTimeZoneInformation info = SystemTimeZone().Query();
  EXPECT_EQ(info.Bias, -600);
  EXPECT_EQ(info.DaylightBias, -60);
}
