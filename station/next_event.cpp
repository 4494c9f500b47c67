#include "station/next_event.h"

#include "download/fetch_inputs.h"
#include "runtime/strings.h"

std::optional<TNextEvent> NextDueEvent(const TEventTable& Table, TDateTime UtcNow) {
  const TDateTimeParts now = DecodeDateTime(UtcNow);
  const int current = now.hour * 60 + now.minute;
  const std::string* next = nullptr;
  int nextDistance = kMinutesPerDay + 1;
  for (const std::string& line : Table.Lines()) {
    const std::optional<int> minute = DueMinuteOfDay(line);
    if (!minute) continue;
    int distance = (*minute - current + kMinutesPerDay) % kMinutesPerDay;
    if (distance == 0) distance = kMinutesPerDay;
    if (distance < nextDistance) {
      next = &line;
      nextDistance = distance;
    }
  }
  if (!next) return std::nullopt;
  return TNextEvent{Copy(*next, 1, 2) + ":" + Copy(*next, 3, 2), ShownTitle(CutFetchInputs(*next)),
                    current + nextDistance >= kMinutesPerDay};
}
