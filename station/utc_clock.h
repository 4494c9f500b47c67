#pragma once
// The clock tick: local time to UTC, and the schedule lines due in a new minute.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "station/event_table.h"

inline constexpr const char* kUtcConversionError =
    "Error converting to UTC Time.  Timezone could not be determined.";
// The last processed minute after the schedule was edited: never equals a real minute.
inline constexpr const char* kEditedMinute = "----";

// UTC now, by the clock's rule: standard time adds the base bias, daylight time the base
// and daylight biases. A zone without daylight saving counts as standard time; only a
// failed query raises kUtcConversionError.
TDateTime UtcNowForClock(const TClock& clock, const TTimeZone& zone);

// The lines of the table due in the minute (counted from the runtime's day zero, UTC): those
// whose characters 1-2 and 3-4 are its hour and minute, in table order.
std::vector<std::string> EventsDue(const TEventTable& table, int64_t minute);

// How far back the first tick after a gap (a stalled thread, a sleeping machine) queues
// the events of the minutes it skipped.
inline constexpr int64_t kCatchUpMinutes = 60;

struct TClockTick {
  TDateTime utc;                    // when the tick read the clock
  std::string time;                 // HH:MM:SS for Status1
  std::vector<std::string> queued;  // lines to append to the queue, in order
  std::string note;                 // for the log: a jump of the clock, or ""
};

// The clock and its memory of the last processed minute.
class TUtcClock {
 public:
  TUtcClock(const TClock& clock, const TTimeZone& zone) : clock_(clock), zone_(zone) {}

  // One tick: raises kUtcConversionError when the zone cannot be determined.
  TClockTick Tick(const TEventTable& table);
  // After the schedule was edited the current minute is processed again: lines added or
  // changed by the edit are queued, lines already queued in that minute are not.
  void ScheduleEdited() {
    lastMinuteKey_ = kEditedMinute;
    edited_ = true;
  }
  const std::string& LastMinute() const { return lastMinuteKey_; }

 private:
  void QueueMinute(const TEventTable& table, int64_t minute, TClockTick& tick);
  void CatchUp(const TEventTable& table, int64_t minute, TClockTick& tick);
  void RequeueEdited(const TEventTable& table, TClockTick& tick);

  const TClock& clock_;
  const TTimeZone& zone_;
  std::string lastMinuteKey_;
  bool started_ = false;
  bool edited_ = false;
  int64_t lastMinute_ = 0;                   // minutes since the runtime's day zero
  std::vector<std::string> queuedInMinute_;  // what lastMinute_ queued, for an edit
};
