#pragma once
// The text format of the station's memory files: one record a line, a key and then
// "name=value" fields separated by tabs, so that later versions can add fields and earlier
// ones keep what they do not know. Lines starting with "#" are comments.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using TFieldMap = std::map<std::string, std::string>;
using TFieldList = std::vector<std::pair<std::string, std::string>>;

struct TKeyedFields {
  std::string key;
  TFieldMap fields;
};

// The file's records in their order; lines without a single named field (comments,
// damage, hand edits) are passed over. A field named twice keeps its last value.
std::vector<TKeyedFields> ParseKeyedFields(std::string_view bytes);

// Whether the text can stand in a field: no tab and no line break.
bool WritableField(const std::string& text);
// Whether the key can start a record: not empty, no comment, writable.
bool WritableKey(const std::string& key);

// The record's line and its line end; fields that cannot be written are left out.
std::string KeyedFieldsLine(const std::string& key, const TFieldList& fields);

// The records of a file by key, each made by take from its fields one by one; a key
// found twice keeps its last record.
template <class Record, class Take>
std::map<std::string, Record> ParseKeyedRecords(std::string_view bytes, Take take) {
  std::map<std::string, Record> records;
  for (const TKeyedFields& line : ParseKeyedFields(bytes)) {
    Record record;
    for (const auto& [name, value] : line.fields) take(record, name, value);
    records[line.key] = std::move(record);
  }
  return records;
}

// The heading and the line of every record whose key can be written.
template <class Record, class Fields>
std::string KeyedRecordsText(const char* heading, const std::map<std::string, Record>& records,
                             Fields fields) {
  std::string text = heading;
  for (const auto& [key, record] : records)
    if (WritableKey(key)) text += KeyedFieldsLine(key, fields(record));
  return text;
}
