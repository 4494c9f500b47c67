#include "station/source_alarms.h"

namespace {

std::string RowKey(const TSourceRow& row) {
  return row.dueTime + '\t' + row.title + '\t' + row.url + '\t' + row.target;
}

}  // namespace

bool TSourceAlarms::FailedLongEnough(const TSourceRow& row, TDateTime now) const {
  const std::optional<TDateTime> since =
      row.state == ssUnchanged ? row.unchangedSince : row.failingSince;
  return since && IncMinutes(*since, afterMinutes_).ms <= now.ms;
}

bool TSourceAlarms::Tells(const TSourceRow& row, TDateTime now) const {
  const auto told = told_.find(RowKey(row));
  if (!SourceStateFails(row.state)) return row.state == ssOk && told != told_.end();
  if (told != told_.end() && (told->second == row.state || told->second == ssGivenUp)) return false;
  return row.state == ssGivenUp || FailedLongEnough(row, now);
}

std::vector<TSourceRow> TSourceAlarms::Due(const std::vector<TSourceRow>& rows, TDateTime now) {
  std::vector<TSourceRow> due;
  for (const TSourceRow& row : rows) {
    if (!Tells(row, now)) continue;
    if (row.state == ssOk) {
      told_.erase(RowKey(row));
    } else {
      told_[RowKey(row)] = row.state;
    }
    if (started_) due.push_back(row);
  }
  started_ = true;
  return due;
}

std::vector<std::string> SourceCommandVariables(const TSourceRow& row) {
  return {"ISOVIEW_SOURCE_TITLE=" + row.title, "ISOVIEW_SOURCE_URL=" + row.url,
          "ISOVIEW_SOURCE_STATE=" + SourceStateName(row.state),
          "ISOVIEW_SOURCE_ERROR=" + row.lastError};
}
