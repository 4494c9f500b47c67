#pragma once
// The local clock and the time-zone query, behind interfaces so that tests can stand in
// a clock and a zone of their own.

#include <ctime>

#include "runtime/date_time.h"

enum TTimeZoneState { tzsUnknown, tzsStandard, tzsDaylight, tzsInvalid };

// The platform's answer, biases in minutes: UTC = local time + Bias (+ DaylightBias in
// daylight time). tzsUnknown means the zone has no daylight saving; tzsInvalid a failed
// query.
struct TTimeZoneInformation {
  TTimeZoneState State = tzsInvalid;
  int Bias = 0;
  int StandardBias = 0;
  int DaylightBias = 0;
};

class TTimeZone {
 public:
  virtual ~TTimeZone() = default;
  virtual TTimeZoneInformation Query() const = 0;
};

// The local time and the zone's answer for one and the same instant.
struct TLocalTime {
  TDateTime Local;
  TTimeZoneInformation Zone;
};

class TClock {
 public:
  virtual ~TClock() = default;
  // The local date and time, to the millisecond.
  virtual TDateTime Now() const = 0;
  // The local time together with the zone's answer for that very instant. A stand-in
  // clock reads its time and then asks the zone.
  virtual TLocalTime NowIn(const TTimeZone& zone) const { return {Now(), zone.Query()}; }
};

// The local time of an instant and the zone's answer for it, from the TZ database: the
// offset is the C library's tm_gmtoff of that instant, so zones whose daylight saving is
// negative (Irish winter time, Ramadan in Morocco) or a half hour (Lord Howe) convert
// right. All of the offset is in Bias; daylight time only tells the state.
TLocalTime LocalTimeAt(const timespec& instant);

class TSystemClock : public TClock {
 public:
  TDateTime Now() const override;
  // With the system zone, both come from one reading of the platform clock, so that a
  // change of offset between two readings cannot pair one instant's local time with
  // another's offset.
  TLocalTime NowIn(const TTimeZone& zone) const override;
};

class TSystemTimeZone : public TTimeZone {
 public:
  TTimeZoneInformation Query() const override;
};

const TClock& SystemClock();
const TTimeZone& SystemTimeZone();

// A clock for waiting times: it only goes forward, whatever is done to the wall clock, so
// that a wait measured on it neither stretches nor shrinks when the time is set.
class TSteadyClock {
 public:
  virtual ~TSteadyClock() = default;
  // Milliseconds since an arbitrary start (the machine's boot).
  virtual int64_t NowMs() const = 0;
};

const TSteadyClock& SystemSteadyClock();
