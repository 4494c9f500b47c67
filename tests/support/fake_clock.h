#pragma once
// A clock and a time zone that tests set by hand.

#include "runtime/clock.h"

class FakeClock : public TClock {
 public:
  explicit FakeClock(TDateTime now = EncodeDateTime({2004, 3, 7, 14, 5, 9})) : now_(now) {}
  TDateTime Now() const override {
    const TDateTime now = now_;
    now_.ms += stepMs_;
    return now;
  }
  void Set(const TDateTimeParts& parts) { now_ = EncodeDateTime(parts); }
  void Set(TDateTime now) { now_ = now; }
  void AdvanceMinutes(int minutes) { now_ = IncMinutes(now_, minutes); }
  void AdvanceMilliseconds(int64_t ms) { now_.ms += ms; }
  // Each read moves the clock on by Ms, so that work inside one call spans countable time.
  void StepEachRead(int64_t ms) { stepMs_ = ms; }

 private:
  mutable TDateTime now_;
  int64_t stepMs_ = 0;
};

class FakeTimeZone : public TTimeZone {
 public:
  explicit FakeTimeZone(TTimeZoneInformation info = {tzsStandard, 0, 0, 0}) : info_(info) {}
  TTimeZoneInformation Query() const override { return info_; }
  void Set(TTimeZoneInformation info) { info_ = info; }

 private:
  TTimeZoneInformation info_;
};

// A steady clock that moves only when the test moves it.
class FakeSteadyClock : public TSteadyClock {
 public:
  int64_t NowMs() const override {
    const int64_t now = nowMs_;
    nowMs_ += stepMs_;
    return now;
  }
  void AdvanceMilliseconds(int64_t ms) { nowMs_ += ms; }
  void AdvanceSeconds(int64_t seconds) { nowMs_ += seconds * 1000; }
  // Each read moves the clock on by Ms, so that work inside one call spans countable time.
  void StepEachRead(int64_t ms) { stepMs_ = ms; }

 private:
  mutable int64_t nowMs_ = 1000000;
  int64_t stepMs_ = 0;
};
