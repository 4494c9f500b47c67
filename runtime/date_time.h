#pragma once
// Date-times as whole milliseconds, so that clock arithmetic never drifts by a
// millisecond (10:30:15 minus 60 minutes is exactly 09:30:15).

#include <cstdint>

struct TDateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Milliseconds since 30 December 1899, 00:00, the runtime's day zero.
struct TDateTime {
  int64_t ms = 0;
  friend bool operator==(TDateTime, TDateTime) = default;
};

constexpr int64_t kMillisecondsPerMinute = 60 * 1000;
constexpr int64_t kMillisecondsPerDay = 24 * 60 * kMillisecondsPerMinute;

TDateTime EncodeDateTime(const TDateTimeParts& parts);
TDateTimeParts DecodeDateTime(TDateTime value);
// The UTC date-time of a count of seconds since 1970-01-01 00:00 UTC (a file's times).
TDateTime DateTimeFromUnixSeconds(int64_t seconds);
inline TDateTime IncMinutes(TDateTime value, int64_t minutes) {
  return {value.ms + minutes * kMillisecondsPerMinute};
}
