#include "app/source_texts.h"

#include <set>

#include "runtime/strings.h"

namespace {

std::string DateText(const TDateTimeParts& parts) {
  return Format("%04d-%02d-%02d", parts.year, parts.month, parts.day);
}

std::string TimeOfDayText(const TDateTimeParts& parts) {
  return Format("%02d:%02d", parts.hour, parts.minute);
}

}  // namespace

std::string SourceTimeText(const std::optional<TDateTime>& time) {
  if (!time) return {};
  const TDateTimeParts parts = DecodeDateTime(*time);
  return DateText(parts) + " " + TimeOfDayText(parts);
}

std::optional<TDateTime> TroubleSince(const TSourceRow& row) {
  return row.state == ssUnchanged ? row.unchangedSince : row.failingSince;
}

// Lines that share a URL are one source to the operator, counted once.
std::string FailingSourcesText(const std::vector<TSourceRow>& rows, TDateTime utcNow) {
  std::set<std::string> failing;
  std::optional<TDateTime> since;
  for (const TSourceRow& row : rows) {
    if (!SourceStateFails(row.state)) continue;
    failing.insert(row.url);
    const std::optional<TDateTime> began = TroubleSince(row);
    if (began && (!since || began->ms < since->ms)) since = began;
  }
  if (failing.empty()) return {};
  const size_t count = failing.size();
  std::string text = std::to_string(count) + (count == 1 ? " source" : " sources") + " failing";
  if (!since) return text;
  const TDateTimeParts began = DecodeDateTime(*since);
  const bool today = DateText(began) == DateText(DecodeDateTime(utcNow));
  return text + " since " + (today ? "" : DateText(began) + " ") + TimeOfDayText(began);
}
