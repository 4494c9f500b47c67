#include "runtime/clock.h"

#include <sys/time.h>

#include <algorithm>
#include <ctime>

TDateTime TSystemClock::Now() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000000)});
}

namespace {

bool OffsetOnDay(int year, int month, long& secondsEastOfUtc) {
  tm day{};
  day.tm_year = year - 1900;
  day.tm_mon = month - 1;
  day.tm_mday = 1;
  day.tm_hour = 12;
  day.tm_isdst = -1;
  const time_t when = mktime(&day);
  tm local{};
  if (when == static_cast<time_t>(-1) || localtime_r(&when, &local) == nullptr) return false;
  secondsEastOfUtc = local.tm_gmtoff;
  return true;
}

}  // namespace

TTimeZoneInformation TSystemTimeZone::Query() const {
  TTimeZoneInformation info;
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) == nullptr) return info;
  long january = 0, july = 0;
  if (!OffsetOnDay(local.tm_year + 1900, 1, january) || !OffsetOnDay(local.tm_year + 1900, 7, july))
    return info;
  const long standard = std::min(january, july);
  const long daylight = std::max(january, july);
  info.Bias = static_cast<int>(-standard / 60);
  info.DaylightBias = static_cast<int>(-(daylight - standard) / 60);
  if (standard == daylight)
    info.State = tzsUnknown;
  else
    info.State = local.tm_isdst > 0 ? tzsDaylight : tzsStandard;
  return info;
}

const TClock& SystemClock() {
  static const TSystemClock clock;
  return clock;
}

const TTimeZone& SystemTimeZone() {
  static const TSystemTimeZone zone;
  return zone;
}
