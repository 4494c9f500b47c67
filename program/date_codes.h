#pragma once
// Date codes in target file names: "@" and one letter, replaced by a part of the current
// UTC date and time:
//   @Y year's third and fourth digits   @M month   @D day   @H hour   @N minute
//   @S second   @X "(DD) HH:MM:SS"
// Letters are compared exactly (lower case letters are no codes). "@" followed by any
// other character, or at the end of the name, is removed together with that character.

#include <string>

#include "runtime/clock.h"

// Replaces the codes from left to right, one at a time, reading the clock afresh for
// each, so that two codes of one name can straddle a change of second.
std::string ExpandDateCodes(const std::string& Name, const TClock& Clock, const TTimeZone& Zone);

// UTC by this rule: a zone without daylight saving adds its base bias, standard time the
// base and standard biases, daylight time the base and daylight biases; a failed query
// adds nothing.
TDateTime UtcForDateCodes(TDateTime Local, const TTimeZone& Zone);
// The same for a local time read together with the zone's answer for that instant.
TDateTime UtcForDateCodes(const TLocalTime& Now);

// The text of one code at this local time; empty for a letter that is no code.
std::string DateCodeValue(char Letter, TDateTime Local, const TTimeZone& Zone);
std::string DateCodeValue(char Letter, const TLocalTime& Now);
