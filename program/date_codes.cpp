#include "program/date_codes.h"

#include "runtime/strings.h"

namespace {

constexpr char kCodeMark = '@';
// What follows a replaced code is cut to this length, as the name field allows.
constexpr int kLongestRest = 255;

std::string YearDigits(int year) {
  return Copy(IntToStr(year), 3, 2);
}

}  // namespace

TDateTime UtcForDateCodes(TDateTime Local, const TTimeZone& Zone) {
  return UtcForDateCodes({Local, Zone.Query()});
}

TDateTime UtcForDateCodes(const TLocalTime& Now) {
  const TDateTime Local = Now.Local;
  const TTimeZoneInformation& info = Now.Zone;
  switch (info.State) {
    case tzsUnknown:
      return IncMinutes(Local, info.Bias);
    case tzsStandard:
      return IncMinutes(Local, info.Bias + info.StandardBias);
    case tzsDaylight:
      return IncMinutes(Local, info.Bias + info.DaylightBias);
    case tzsInvalid:
      break;
  }
  return Local;
}

std::string DateCodeValue(char Letter, TDateTime Local, const TTimeZone& Zone) {
  return DateCodeValue(Letter, {Local, Zone.Query()});
}

std::string DateCodeValue(char Letter, const TLocalTime& Now) {
  const TDateTimeParts utc = DecodeDateTime(UtcForDateCodes(Now));
  switch (Letter) {
    case 'Y':
      return YearDigits(utc.year);
    case 'M':
      return TwoDigits(utc.month);
    case 'D':
      return TwoDigits(utc.day);
    case 'H':
      return TwoDigits(utc.hour);
    case 'N':
      return TwoDigits(utc.minute);
    case 'S':
      return TwoDigits(utc.second);
    case 'X':
      return "(" + TwoDigits(utc.day) + ") " + TwoDigits(utc.hour) + ":" + TwoDigits(utc.minute) +
             ":" + TwoDigits(utc.second);
    default:
      return "";
  }
}

std::string ExpandDateCodes(const std::string& Name, const TClock& Clock, const TTimeZone& Zone) {
  std::string name = Name;
  for (int p = Pos(std::string(1, kCodeMark), name); p > 0;
       p = Pos(std::string(1, kCodeMark), name)) {
    const std::string letter = Copy(name, p + 1, 1);
    const std::string value = letter.empty() ? "" : DateCodeValue(letter[0], Clock.NowIn(Zone));
    name = Copy(name, 1, p - 1) + value + Copy(name, p + 2, kLongestRest);
  }
  return name;
}
