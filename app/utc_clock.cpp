#include "app/utc_clock.h"

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

std::vector<std::string> EventsDue(const TEventTable& table, const std::string& minuteKey) {
  std::vector<std::string> due;
  for (const std::string& line : table.Lines()) {
    if (line.size() >= 4 && Copy(line, 1, 2) == Copy(minuteKey, 1, 2) &&
        Copy(line, 3, 2) == Copy(minuteKey, 4, 2))
      due.push_back(line);
  }
  return due;
}

namespace {

std::string MinuteKey(int64_t minute) {
  const TDateTimeParts parts = DecodeDateTime({minute * kMillisecondsPerMinute});
  return TwoDigits(parts.hour) + ":" + TwoDigits(parts.minute);
}

}  // namespace

void TUtcClock::QueueMinute(const TEventTable& table, int64_t minute, TClockTick& tick) {
  const std::vector<std::string> due = EventsDue(table, MinuteKey(minute));
  tick.queued.insert(tick.queued.end(), due.begin(), due.end());
  queuedInMinute_ = due;
  lastMinute_ = minute;
  lastMinuteKey_ = MinuteKey(minute);
}

// The skipped minutes' events, oldest first and at most kCatchUpMinutes back; the rest
// are counted for the log.
void TUtcClock::CatchUp(const TEventTable& table, int64_t minute, TClockTick& tick) {
  const int64_t first = std::max(lastMinute_ + 1, minute - kCatchUpMinutes);
  size_t skipped = 0;
  for (int64_t m = lastMinute_ + 1; m < first; ++m)
    skipped += EventsDue(table, MinuteKey(m)).size();
  const std::string from = MinuteKey(lastMinute_);
  for (int64_t m = first; m < minute; ++m) QueueMinute(table, m, tick);
  tick.note = "Clock jumped from " + from + " to " + MinuteKey(minute) + ": " +
              IntToStr(static_cast<int>(tick.queued.size())) + " events of " + MinuteKey(first) +
              (first + 1 < minute ? "-" + MinuteKey(minute - 1) : "") + " queued late";
  if (skipped > 0)
    tick.note += ", " + IntToStr(static_cast<int>(skipped)) + " older events skipped";
}

// Only what the edit added: a line due as often as before is queued no more.
void TUtcClock::RequeueEdited(const TEventTable& table, TClockTick& tick) {
  std::vector<std::string> already = queuedInMinute_;
  for (const std::string& line : EventsDue(table, MinuteKey(lastMinute_))) {
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
  tick.time = TwoDigits(utc.hour) + ":" + TwoDigits(utc.minute) + ":" + TwoDigits(utc.second);
  const int64_t minute = now.ms / kMillisecondsPerMinute;
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
