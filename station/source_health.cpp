#include "station/source_health.h"

#include <algorithm>

#include "download/fetch_inputs.h"
#include "http/url_helpers.h"
#include "runtime/strings.h"
#include "station/event_table.h"
#include "station/memory_file.h"

namespace {

TDateTime WholeSeconds(TDateTime utc) {
  return {utc.ms - utc.ms % 1000};
}

bool SameDay(TDateTime a, TDateTime b) {
  return a.ms / kMillisecondsPerDay == b.ms / kMillisecondsPerDay;
}

// A message from a server may hold line breaks; the file keeps one line a record.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return text;
}

std::string TwoDigits(int number) {
  return (number < 10 ? "0" : "") + IntToStr(number);
}

std::string DueTime(const std::string& line) {
  const std::optional<int> minute = DueMinuteOfDay(line);
  if (!minute) return Trim(line.substr(0, 4));
  return TwoDigits(*minute / 60) + ":" + TwoDigits(*minute % 60);
}

// The row of a line as the schedule writes it, before anything was seen of it.
TSourceRow LineRow(const std::string& line) {
  const TFetchInputs inputs = CutFetchInputs(line);
  TSourceRow row;
  row.dueTime = DueTime(line);
  row.title = ShownTitle(inputs);
  row.url = UrlWithoutPassword(inputs.URL);
  row.target = inputs.Filename;
  return row;
}

}  // namespace

void TSourceHealth::Load() {
  records_.clear();
  if (fileName_.empty()) return;
  records_ = ParseSourceHealth(ReadMemoryFile(fileName_));
  for (auto& [line, record] : records_)
    if (record.state == ssRetrying) record.state = ssGivenUp;
}

TLineHealth& TSourceHealth::Record(const std::string& line) {
  changed_ = true;
  return records_[TrimRight(line)];
}

void TSourceHealth::Attempted(const std::string& line, TDateTime utc) {
  TLineHealth& record = Record(line);
  if (!record.lastAttempt || !SameDay(*record.lastAttempt, utc)) record.attempts = 0;
  ++record.attempts;
  record.lastAttempt = WholeSeconds(utc);
}

void TSourceHealth::Delivered(const std::string& line, TDateTime utc, const std::string& digest) {
  TLineHealth& record = Record(line);
  std::erase(repeated_, line);
  if (!digest.empty() && digest == record.digest) {
    repeated_.push_back(line);
    return;
  }
  record.digest = digest;
  record.digestSince = WholeSeconds(utc);
}

void TSourceHealth::Succeeded(const std::string& line, TDateTime utc,
                              const std::string& savedPath) {
  TLineHealth& record = Record(line);
  record.state = std::ranges::count(repeated_, line) > 0 ? ssUnchanged : ssOk;
  record.lastGoodSave = WholeSeconds(utc);
  record.lastGoodFile = savedPath;
  record.failingSince.reset();
  record.lastError.clear();
  record.lastErrorKind.reset();
}

void TSourceHealth::Failed(const std::string& line, TDateTime utc, const EStationFailure& failure,
                           bool givenUp) {
  TLineHealth& record = Record(line);
  if (!record.failingSince) record.failingSince = WholeSeconds(utc);
  record.state = givenUp ? ssGivenUp : ssRetrying;
  record.lastError = OneLine(failure.Message());
  record.lastErrorKind = failure.Kind();
}

bool TSourceHealth::GivenUp(const std::string& line) const {
  const auto record = records_.find(TrimRight(line));
  return record != records_.end() && record->second.state == ssGivenUp;
}

std::vector<TSourceRow> TSourceHealth::Rows(const std::vector<std::string>& lines,
                                            TDateTime now) const {
  std::vector<TSourceRow> rows;
  for (const std::string& line : lines) {
    if (Trim(line).empty()) continue;
    TSourceRow row = LineRow(line);
    const auto found = records_.find(TrimRight(line));
    if (found != records_.end()) {
      const TLineHealth& record = found->second;
      row.state = record.state;
      row.lastGoodSave = record.lastGoodSave;
      row.lastGoodFile = record.lastGoodFile;
      row.lastAttempt = record.lastAttempt;
      row.failingSince = record.failingSince;
      row.lastError = record.lastError;
      row.lastErrorKind = record.lastErrorKind;
      row.attemptsToday =
          record.lastAttempt && SameDay(*record.lastAttempt, now) ? record.attempts : 0;
      if (record.state == ssUnchanged) row.unchangedSince = record.digestSince;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool TSourceHealth::SaveChanges() {
  if (!changed_ || fileName_.empty()) return true;
  if (!WriteMemoryFile(fileName_, SourceHealthText(records_))) return false;
  changed_ = false;
  return true;
}
