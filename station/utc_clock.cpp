#include "station/utc_clock.h"

#include <algorithm>
#include <utility>

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

namespace {

int MinuteOfDay(int64_t minute) {
  return static_cast<int>(((minute % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay);
}

std::string MinuteKey(int64_t minute) {
  const int ofDay = MinuteOfDay(minute);
  return TwoDigits(ofDay / 60) + ":" + TwoDigits(ofDay % 60);
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// How many of the minutes first..last-1 fall on the given minute of the day.
int64_t Occurrences(int64_t first, int64_t last, int minuteOfDay) {
  if (last <= first) return 0;
  return FloorDiv(last - 1 - minuteOfDay, kMinutesPerDay) -
         FloorDiv(first - 1 - minuteOfDay, kMinutesPerDay);
}

// The events of the minutes first..last-1, counted without visiting each minute: a clock
// set right after years at 1970 skips millions of them.
int64_t EventsBetween(const TEventTable& table, int64_t first, int64_t last) {
  int64_t count = 0;
  for (const std::string& line : table.Lines())
    if (const std::optional<int> due = DueMinuteOfDay(line))
      count += Occurrences(first, last, *due);
  return count;
}

}  // namespace

std::vector<std::string> EventsDue(const TEventTable& table, int64_t minute) {
  std::vector<std::string> due;
  for (const std::string& line : table.Lines())
    if (DueMinuteOfDay(line) == MinuteOfDay(minute)) due.push_back(line);
  return due;
}

void TUtcClock::QueueMinute(const TEventTable& table, int64_t minute, TClockTick& tick) {
  const std::vector<std::string> due = EventsDue(table, minute);
  tick.queued.insert(tick.queued.end(), due.begin(), due.end());
  queuedInMinute_ = due;
  lastMinute_ = minute;
  lastMinuteKey_ = MinuteKey(minute);
}

// The skipped minutes' events, oldest first and at most kCatchUpMinutes back; the rest
// are counted for the log.
void TUtcClock::CatchUp(const TEventTable& table, int64_t minute, TClockTick& tick) {
  const int64_t first = std::max(lastMinute_ + 1, minute - kCatchUpMinutes);
  const int64_t skipped = EventsBetween(table, lastMinute_ + 1, first);
  const std::string from = MinuteKey(lastMinute_);
  for (int64_t m = first; m < minute; ++m) QueueMinute(table, m, tick);
  tick.note = "Clock jumped from " + from + " to " + MinuteKey(minute) + ": " +
              IntToStr(static_cast<int>(tick.queued.size())) + " events of " + MinuteKey(first) +
              (first + 1 < minute ? "-" + MinuteKey(minute - 1) : "") + " queued late";
  if (skipped > 0) tick.note += ", " + std::to_string(skipped) + " older events skipped";
}

// Only what the edit added: a line due as often as before is queued no more.
void TUtcClock::RequeueEdited(const TEventTable& table, TClockTick& tick) {
  std::vector<std::string> already = queuedInMinute_;
  for (const std::string& line : EventsDue(table, lastMinute_)) {
    const auto found = std::find(already.begin(), already.end(), line);
    if (found != already.end()) {
      already.erase(found);
      continue;
    }
    tick.queued.push_back(line);
    queuedInMinute_.push_back(line);
  }
  lastMinuteKey_ = MinuteKey(lastMinute_);
}

TClockTick TUtcClock::Tick(const TEventTable& table) {
  const TDateTime now = UtcNowForClock(clock_, zone_);
  const TDateTimeParts utc = DecodeDateTime(now);
  TClockTick tick;
  tick.utc = now;
  tick.time = TwoDigits(utc.hour) + ":" + TwoDigits(utc.minute) + ":" + TwoDigits(utc.second);
  const int64_t minute = FloorDiv(now.ms, kMillisecondsPerMinute);
  const bool edited = std::exchange(edited_, false);
  // A clock set back within the catch-up reach does not queue its minutes twice; one set
  // back further starts afresh.
  const bool setFarBack = started_ && minute < lastMinute_ - kCatchUpMinutes;
  if (!started_ || setFarBack) {
    started_ = true;
    QueueMinute(table, minute, tick);
  } else if (minute > lastMinute_) {
    if (minute > lastMinute_ + 1) CatchUp(table, minute, tick);
    QueueMinute(table, minute, tick);
  } else if (edited && minute == lastMinute_) {
    RequeueEdited(table, tick);
  }
  return tick;
}
