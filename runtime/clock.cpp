#include "runtime/clock.h"

#include <sys/time.h>

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr long kNanosecondsPerMillisecond = 1000000;

timespec PlatformNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// A zone that never has daylight saving keeps the design's "unknown" state; the offset
// is the same either way.
TTimeZoneState StateOf(const tm& local) {
  if (local.tm_isdst > 0) return tzsDaylight;
  return daylight == 0 ? tzsUnknown : tzsStandard;
}

}  // namespace

TLocalTime LocalTimeAt(const timespec& instant) {
  tm local{};
  if (localtime_r(&instant.tv_sec, &local) == nullptr) return {};
  TLocalTime result;
  result.Local = EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                 local.tm_hour, local.tm_min, local.tm_sec,
                                 static_cast<int>(instant.tv_nsec / kNanosecondsPerMillisecond)});
  result.Zone.State = StateOf(local);
  result.Zone.Bias = static_cast<int>(-local.tm_gmtoff / kSecondsPerMinute);
  return result;
}

TDateTime TSystemClock::Now() const {
  return LocalTimeAt(PlatformNow()).Local;
}

TLocalTime TSystemClock::NowIn(const TTimeZone& zone) const {
  if (&zone != &SystemTimeZone()) return TClock::NowIn(zone);
  return LocalTimeAt(PlatformNow());
}

TTimeZoneInformation TSystemTimeZone::Query() const {
  return LocalTimeAt(PlatformNow()).Zone;
}

const TClock& SystemClock() {
  static const TSystemClock clock;
  return clock;
}

const TTimeZone& SystemTimeZone() {
  static const TSystemTimeZone zone;
  return zone;
}

namespace {

class TSystemSteadyClock : public TSteadyClock {
 public:
  int64_t NowMs() const override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / kNanosecondsPerMillisecond;
  }
};

}  // namespace

const TSteadyClock& SystemSteadyClock() {
  static const TSystemSteadyClock clock;
  return clock;
}
