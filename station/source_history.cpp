#include "station/source_history.h"

#include <cerrno>
#include <charconv>

#include "fetch/event_log.h"
#include "fetch/saved_list.h"
#include "runtime/atomic_file.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "runtime/strings.h"

namespace {

constexpr const char* kHeading =
    "# Isoview: what the station knows of each source (URL<TAB>name=value...)\n";
constexpr const char* kGiveUpsField = "giveups";
constexpr const char* kLastGiveUpField = "last-giveup";
constexpr const char* kFailingField = "failing";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// A text with a tab or a line break cannot stand in a field of the file.
bool Writable(const std::string& text) {
  return text.find_first_of("\t\r\n") == std::string::npos;
}

// Nor can a URL that is empty or would read as a comment.
bool WritableUrl(const std::string& url) {
  return !url.empty() && url[0] != '#' && Writable(url);
}

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

std::optional<std::pair<std::string, TSourceRecord>> ParseRecord(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line[0] == '#') return std::nullopt;
  const std::vector<std::string_view> fields = Split(line, '\t');
  TSourceRecord record;
  bool named = false;
  for (size_t i = 1; i < fields.size(); ++i) {
    const size_t equals = fields[i].find('=');
    if (equals == std::string_view::npos) continue;
    TakeField(record, std::string(fields[i].substr(0, equals)),
              std::string(fields[i].substr(equals + 1)));
    named = true;
  }
  if (!named) return std::nullopt;  // damaged, or edited by hand
  return std::pair{std::string(fields[0]), record};
}

std::string RecordLine(const std::string& url, const TSourceRecord& record) {
  std::string line = url + "\t" + kGiveUpsField + "=" + IntToStr(record.giveUps);
  if (record.lastGiveUp)
    line += std::string("\t") + kLastGiveUpField + "=" + Trim(LogStamp(*record.lastGiveUp));
  line += std::string("\t") + kFailingField + "=" + (record.failing ? "yes" : "no");
  for (const auto& [name, value] : record.otherFields)
    if (Writable(name) && Writable(value)) line += "\t" + name + "=" + value;
  return line + "\n";
}

}  // namespace

TSourceRecords ParseSourceHistory(std::string_view bytes) {
  TSourceRecords records;
  for (std::string_view line : Split(bytes, '\n'))
    if (auto record = ParseRecord(line)) records[record->first] = record->second;
  return records;
}

std::string SourceHistoryText(const TSourceRecords& records) {
  std::string text = kHeading;
  for (const auto& [url, record] : records)
    if (WritableUrl(url)) text += RecordLine(url, record);
  return text;
}

void TSourceHistory::Load() {
  records_.clear();
  if (fileName_.empty()) return;
  TMemoryStream bytes;
  try {
    bytes.LoadFromFile(fileName_);
  } catch (const EFOpenError& error) {
    if (error.ErrorNumber() == ENOENT) return;  // nothing given up yet
    throw;
  }
  records_ = ParseSourceHistory(
      {reinterpret_cast<const char*>(bytes.Bytes().data()), bytes.Bytes().size()});
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
  const std::string text = SourceHistoryText(records_);
  try {
    SaveFileAtomically(fileName_, [&](TStream& out) { out.WriteBuffer(text.data(), text.size()); });
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
