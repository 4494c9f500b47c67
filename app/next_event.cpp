#include "app/next_event.h"

#include "fetch/fetch_inputs.h"
#include "http/url_helpers.h"
#include "runtime/strings.h"

namespace {

constexpr int kMinutesPerDay = 24 * 60;

// The minute of the day a line falls due, or -1 for a line the clock never matches.
int MinuteOfDay(const std::string& line) {
  if (line.size() < 4) return -1;
  for (size_t i = 0; i < 4; ++i)
    if (line[i] < '0' || line[i] > '9') return -1;
  const int hour = (line[0] - '0') * 10 + (line[1] - '0');
  const int minute = (line[2] - '0') * 10 + (line[3] - '0');
  return hour < 24 && minute < 60 ? hour * 60 + minute : -1;
}

std::string TitleOf(const std::string& line) {
  const TFetchInputs inputs = CutFetchInputs(line);
  return inputs.Title.empty() ? UrlWithoutPassword(inputs.URL) : inputs.Title;
}

}  // namespace

std::optional<TNextEvent> NextDueEvent(const TEventTable& Table, TDateTime UtcNow) {
  const TDateTimeParts now = DecodeDateTime(UtcNow);
  const int current = now.hour * 60 + now.minute;
  const std::string* next = nullptr;
  int nextDistance = kMinutesPerDay + 1;
  for (const std::string& line : Table.Lines()) {
    const int minute = MinuteOfDay(line);
    if (minute < 0) continue;
    int distance = (minute - current + kMinutesPerDay) % kMinutesPerDay;
    if (distance == 0) distance = kMinutesPerDay;
    if (distance < nextDistance) {
      next = &line;
      nextDistance = distance;
    }
  }
  if (!next) return std::nullopt;
  return TNextEvent{Copy(*next, 1, 2) + ":" + Copy(*next, 3, 2), TitleOf(*next)};
}
