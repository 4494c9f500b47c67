#pragma once
// The schedule line that falls due next after the current minute, for the status bar.

#include <optional>
#include <string>

#include "runtime/date_time.h"
#include "station/event_table.h"

struct TNextEvent {
  std::string time;       // "HH:MM" in UTC
  std::string title;      // the line's title, or its URL (without password) when it has none
  bool tomorrow = false;  // the time is past today: it falls due tomorrow
};

// The line whose time comes first after the minute of UtcNow, going round midnight; a line
// of the current minute itself counts as due tomorrow. Lines whose first four characters
// are no time of day never fall due and are passed over. Equal times: the first in the
// table.
std::optional<TNextEvent> NextDueEvent(const TEventTable& Table, TDateTime UtcNow);
