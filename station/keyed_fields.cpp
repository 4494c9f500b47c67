#include "station/keyed_fields.h"

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::optional<TKeyedFields> ParseRecord(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line[0] == '#') return std::nullopt;
  const std::vector<std::string_view> parts = Split(line, '\t');
  TKeyedFields record{std::string(parts[0]), {}};
  for (size_t i = 1; i < parts.size(); ++i) {
    const size_t equals = parts[i].find('=');
    if (equals == std::string_view::npos) continue;
    record.fields[std::string(parts[i].substr(0, equals))] = parts[i].substr(equals + 1);
  }
  if (record.fields.empty()) return std::nullopt;
  return record;
}

}  // namespace

std::vector<TKeyedFields> ParseKeyedFields(std::string_view bytes) {
  std::vector<TKeyedFields> records;
  for (std::string_view line : Split(bytes, '\n'))
    if (auto record = ParseRecord(line)) records.push_back(std::move(*record));
  return records;
}

bool WritableField(const std::string& text) {
  return text.find_first_of("\t\r\n") == std::string::npos;
}

bool WritableKey(const std::string& key) {
  return !key.empty() && key[0] != '#' && WritableField(key);
}

std::string KeyedFieldsLine(const std::string& key, const TFieldList& fields) {
  std::string line = key;
  for (const auto& [name, value] : fields)
    if (WritableField(name) && WritableField(value)) line += "\t" + name + "=" + value;
  return line + "\n";
}
