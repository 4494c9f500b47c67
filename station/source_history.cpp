#include "station/source_history.h"

#include <charconv>

#include "archive/saved_list.h"
#include "program/event_log.h"
#include "runtime/strings.h"
#include "station/keyed_fields.h"
#include "station/memory_file.h"

namespace {

constexpr const char* kHeading =
    "# Isoview: what the station knows of each source (URL<TAB>name=value...)\n";
constexpr const char* kGiveUpsField = "giveups";
constexpr const char* kLastGiveUpField = "last-giveup";
constexpr const char* kFailingField = "failing";

void TakeField(TSourceRecord& record, const std::string& name, const std::string& value) {
  if (name == kGiveUpsField)
    std::from_chars(value.data(), value.data() + value.size(), record.giveUps);
  else if (name == kLastGiveUpField)
    record.lastGiveUp = ParseUtcStamp(value);
  else if (name == kFailingField)
    record.failing = value == "yes";
  else
    record.otherFields[name] = value;
}

TFieldList RecordFields(const TSourceRecord& record) {
  TFieldList fields{{kGiveUpsField, IntToStr(record.giveUps)}};
  if (record.lastGiveUp) fields.emplace_back(kLastGiveUpField, Trim(LogStamp(*record.lastGiveUp)));
  fields.emplace_back(kFailingField, record.failing ? "yes" : "no");
  fields.insert(fields.end(), record.otherFields.begin(), record.otherFields.end());
  return fields;
}

}  // namespace

TSourceRecords ParseSourceHistory(std::string_view bytes) {
  return ParseKeyedRecords<TSourceRecord>(bytes, TakeField);
}

std::string SourceHistoryText(const TSourceRecords& records) {
  return KeyedRecordsText(kHeading, records, RecordFields);
}

void TSourceHistory::Load() {
  records_.clear();
  if (fileName_.empty()) return;
  records_ = ParseSourceHistory(ReadMemoryFile(fileName_));
}

bool TSourceHistory::GaveUp(const std::string& url, TDateTime utc) {
  TSourceRecord& record = records_[url];
  ++record.giveUps;
  record.lastGiveUp = TDateTime{utc.ms - utc.ms % 1000};
  record.failing = true;
  return Save();
}

bool TSourceHistory::Answered(const std::string& url) {
  const auto record = records_.find(url);
  if (record == records_.end() || !record->second.failing) return true;
  record->second.failing = false;
  return Save();
}

std::vector<std::string> TSourceHistory::Failing() const {
  std::vector<std::string> urls;
  for (const auto& [url, record] : records_)
    if (record.failing) urls.push_back(url);
  return urls;
}

bool TSourceHistory::Save() const {
  if (fileName_.empty()) return true;
  return WriteMemoryFile(fileName_, SourceHistoryText(records_));
}
