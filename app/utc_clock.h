#pragma once
// The clock tick: local time to UTC, and the schedule lines due in a new minute.

#include <string>
#include <vector>

#include "app/event_table.h"
#include "runtime/clock.h"

inline constexpr const char* kUtcConversionError =
    "Error converting to UTC Time.  Timezone could not be determined.";
// The last processed minute after the schedule was edited: never equals a real minute.
inline constexpr const char* kEditedMinute = "----";

// UTC now, by the clock's rule: standard time adds the base bias, daylight time the base
// and daylight biases. A zone without daylight saving counts as standard time; only a
// failed query raises kUtcConversionError.
TDateTime UtcNowForClock(const TClock& clock, const TTimeZone& zone);

// The lines of the table whose characters 1-2 and 3-4 equal the minute key's hour
// ("HH:MM" characters 1-2) and minute (characters 4-5), in table order.
std::vector<std::string> EventsDue(const TEventTable& table, const std::string& minuteKey);

struct TClockTick {
  std::string time;                 // HH:MM:SS for Status1
  std::vector<std::string> queued;  // lines to append to the queue, in order
};

// The clock and its memory of the last processed minute.
class TUtcClock {
 public:
  TUtcClock(const TClock& clock, const TTimeZone& zone) : clock_(clock), zone_(zone) {}

  // One tick: raises kUtcConversionError when the zone cannot be determined.
  TClockTick Tick(const TEventTable& table);
  // After the schedule was edited the current minute is processed again.
  void ScheduleEdited() { lastMinute_ = kEditedMinute; }
  const std::string& LastMinute() const { return lastMinute_; }

 private:
  const TClock& clock_;
  const TTimeZone& zone_;
  std::string lastMinute_;
};
