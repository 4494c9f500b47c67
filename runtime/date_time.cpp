#include "runtime/date_time.h"

namespace {

// Days between 1970-01-01 and 1899-12-30.
constexpr int64_t kUnixDayOfDayZero = -25569;

// Howard Hinnant's civil-date conversions (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, TDateTimeParts& parts) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.year = static_cast<int>(yoe + era * 400 + (parts.month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

TDateTime EncodeDateTime(const TDateTimeParts& p) {
  const int64_t days = DaysFromCivil(p.year, p.month, p.day) - kUnixDayOfDayZero;
  const int64_t timeOfDay =
      ((p.hour * 60 + p.minute) * 60 + p.second) * int64_t{1000} + p.millisecond;
  return {days * kMillisecondsPerDay + timeOfDay};
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  TDateTimeParts parts;
  const int64_t days = FloorDiv(value.ms, kMillisecondsPerDay);
  int64_t rest = value.ms - days * kMillisecondsPerDay;
  CivilFromDays(days + kUnixDayOfDayZero, parts);
  parts.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  parts.second = static_cast<int>(rest % 60);
  rest /= 60;
  parts.minute = static_cast<int>(rest % 60);
  parts.hour = static_cast<int>(rest / 60);
  return parts;
}

TDateTime DateTimeFromUnixSeconds(int64_t seconds) {
  return {(seconds - kUnixDayOfDayZero * 24 * 60 * 60) * 1000};
}
