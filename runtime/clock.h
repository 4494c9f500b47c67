#pragma once
// The local clock and the time-zone query, behind interfaces so that tests can stand in
// a clock and a zone of their own.

#include "runtime/date_time.h"

class TClock {
 public:
  virtual ~TClock() = default;
  // The local date and time, to the millisecond.
  virtual TDateTime Now() const = 0;
};

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

class TSystemClock : public TClock {
 public:
  TDateTime Now() const override;
};

// From the TZ database: the standard and daylight offsets are those of the current year's
// January and July, whichever is smaller being standard time.
class TSystemTimeZone : public TTimeZone {
 public:
  TTimeZoneInformation Query() const override;
};

const TClock& SystemClock();
const TTimeZone& SystemTimeZone();
