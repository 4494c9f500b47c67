#include "station/source_health_file.h"

#include <charconv>

#include "archive/saved_list.h"
#include "program/event_log.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kHeading =
    "# Isoview: how each schedule line's source is doing (line<TAB>name=value...)\n";
constexpr const char* kStateField = "state";
constexpr const char* kLastGoodField = "last-good";
constexpr const char* kLastGoodFileField = "last-good-file";
constexpr const char* kLastAttemptField = "last-attempt";
constexpr const char* kAttemptsField = "attempts";
constexpr const char* kFailingSinceField = "failing-since";
constexpr const char* kErrorField = "error";
constexpr const char* kErrorKindField = "error-kind";
constexpr const char* kDigestField = "sha256";
constexpr const char* kDigestSinceField = "sha256-since";

std::optional<TSourceState> StateNamed(const std::string& name) {
  for (TSourceState state : {ssNew, ssOk, ssRetrying, ssGivenUp, ssUnchanged})
    if (SourceStateName(state) == name) return state;
  return std::nullopt;
}

int WholeNumber(const std::string& text) {
  int number = 0;
  std::from_chars(text.data(), text.data() + text.size(), number);
  return number;
}

void TakeField(TLineHealth& record, const std::string& name, const std::string& value) {
  if (name == kStateField)
    record.state = StateNamed(value).value_or(ssNew);
  else if (name == kLastGoodField)
    record.lastGoodSave = ParseUtcStamp(value);
  else if (name == kLastGoodFileField)
    record.lastGoodFile = value;
  else if (name == kLastAttemptField)
    record.lastAttempt = ParseUtcStamp(value);
  else if (name == kAttemptsField)
    record.attempts = WholeNumber(value);
  else if (name == kFailingSinceField)
    record.failingSince = ParseUtcStamp(value);
  else if (name == kErrorField)
    record.lastError = value;
  else if (name == kErrorKindField)
    record.lastErrorKind = FailureKindNamed(value);
  else if (name == kDigestField)
    record.digest = value;
  else if (name == kDigestSinceField)
    record.digestSince = ParseUtcStamp(value);
  else
    record.otherFields[name] = value;
}

void AddTime(TFieldList& fields, const char* name, const std::optional<TDateTime>& utc) {
  if (utc) fields.emplace_back(name, Trim(LogStamp(*utc)));
}

void AddText(TFieldList& fields, const char* name, const std::string& text) {
  if (!text.empty()) fields.emplace_back(name, text);
}

TFieldList RecordFields(const TLineHealth& record) {
  TFieldList fields{{kStateField, SourceStateName(record.state)}};
  AddTime(fields, kLastGoodField, record.lastGoodSave);
  AddText(fields, kLastGoodFileField, record.lastGoodFile);
  AddTime(fields, kLastAttemptField, record.lastAttempt);
  fields.emplace_back(kAttemptsField, IntToStr(record.attempts));
  AddTime(fields, kFailingSinceField, record.failingSince);
  AddText(fields, kErrorField, record.lastError);
  if (record.lastErrorKind)
    fields.emplace_back(kErrorKindField, FailureKindName(*record.lastErrorKind));
  AddText(fields, kDigestField, record.digest);
  AddTime(fields, kDigestSinceField, record.digestSince);
  fields.insert(fields.end(), record.otherFields.begin(), record.otherFields.end());
  return fields;
}

}  // namespace

TLineHealths ParseSourceHealth(std::string_view bytes) {
  return ParseKeyedRecords<TLineHealth>(bytes, TakeField);
}

std::string SourceHealthText(const TLineHealths& records) {
  return KeyedRecordsText(kHeading, records, RecordFields);
}
