#include "app/utc_clock.h"

#include "runtime/exceptions.h"
#include "runtime/strings.h"

// Clock and zone are read as one instant: read apart, a change of offset between the two
// reads would pair one instant's local time with another's offset.
TDateTime UtcNowForClock(const TClock& clock, const TTimeZone& zone) {
  const TLocalTime now = clock.NowIn(zone);
  const TDateTime local = now.Local;
  const TTimeZoneInformation& info = now.Zone;
  switch (info.State) {
    case tzsUnknown:
    case tzsStandard:
      return IncMinutes(local, info.Bias);
    case tzsDaylight:
      return IncMinutes(local, info.Bias + info.DaylightBias);
    case tzsInvalid:
      break;
  }
  throw Exception(kUtcConversionError);
}

std::vector<std::string> EventsDue(const TEventTable& table, const std::string& minuteKey) {
  std::vector<std::string> due;
  for (const std::string& line : table.Lines()) {
    if (line.size() >= 4 && Copy(line, 1, 2) == Copy(minuteKey, 1, 2) &&
        Copy(line, 3, 2) == Copy(minuteKey, 4, 2))
      due.push_back(line);
  }
  return due;
}

TClockTick TUtcClock::Tick(const TEventTable& table) {
  const TDateTimeParts utc = DecodeDateTime(UtcNowForClock(clock_, zone_));
  TClockTick tick;
  const std::string minuteKey = TwoDigits(utc.hour) + ":" + TwoDigits(utc.minute);
  tick.time = minuteKey + ":" + TwoDigits(utc.second);
  if (minuteKey != lastMinute_) {
    tick.queued = EventsDue(table, minuteKey);
    lastMinute_ = minuteKey;
  }
  return tick;
}
