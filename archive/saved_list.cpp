#include "archive/saved_list.h"

#include <algorithm>
#include <map>

#include "program/event_log.h"
#include "runtime/whole_append.h"

namespace {

// "2026-12-08 15:11:01 UTC": the fixed-width stamp.
constexpr std::string_view kStampPattern = "dddd-dd-dd dd:dd:dd UTC";
constexpr char kStampEnd = '\t';

bool MatchesStampPattern(std::string_view text) {
  if (text.size() < kStampPattern.size()) return false;
  for (size_t i = 0; i < kStampPattern.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kStampPattern[i] == 'd' ? !digit : text[i] != kStampPattern[i]) return false;
  }
  return true;
}

int Number(std::string_view line, size_t at, size_t digits) {
  int value = 0;
  for (size_t i = at; i < at + digits; ++i) value = value * 10 + (line[i] - '0');
  return value;
}

// The stamp's time, when it names a real date and time of day (2026-02-30 does not).
std::optional<TDateTime> StampTime(std::string_view line) {
  const TDateTimeParts parts{Number(line, 0, 4),  Number(line, 5, 2),  Number(line, 8, 2),
                             Number(line, 11, 2), Number(line, 14, 2), Number(line, 17, 2)};
  const TDateTime time = EncodeDateTime(parts);
  const TDateTimeParts back = DecodeDateTime(time);
  if (back.year != parts.year || back.month != parts.month || back.day != parts.day ||
      parts.hour > 23 || parts.minute > 59 || parts.second > 59)
    return std::nullopt;
  return time;
}

bool IsListablePath(std::string_view path) {
  return !path.empty() && path[0] == '/' && path.find_first_of("\r\n", 0) == std::string::npos &&
         path.find('\0') == std::string::npos;
}

std::optional<TSavedFile> ParseSave(std::string_view line) {
  const size_t pathStart = kStampPattern.size() + 1;
  if (line.size() <= pathStart || line[kStampPattern.size()] != kStampEnd) return std::nullopt;
  const std::optional<TDateTime> time = ParseUtcStamp(line.substr(0, kStampPattern.size()));
  const std::string_view path = line.substr(pathStart);
  if (!time || !IsListablePath(path)) return std::nullopt;
  return TSavedFile{*time, std::string(path)};
}

// For each path, the index of the line holding its latest save (the last of equal times).
std::map<std::string, size_t> LatestLineOfEachPath(const std::vector<TSavedListLine>& lines) {
  std::map<std::string, size_t> latest;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].save) continue;
    const auto [found, added] = latest.emplace(lines[i].save->path, i);
    if (!added && lines[found->second].save->savedAt.ms <= lines[i].save->savedAt.ms)
      found->second = i;
  }
  return latest;
}

}  // namespace

std::optional<TDateTime> ParseUtcStamp(std::string_view text) {
  if (text.size() != kStampPattern.size() || !MatchesStampPattern(text)) return std::nullopt;
  return StampTime(text);
}

std::vector<TSavedListLine> ParseSavedList(std::string_view bytes) {
  std::vector<TSavedListLine> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    lines.push_back({std::string(line), ParseSave(line)});
    start = end + 1;
  }
  return lines;
}

std::vector<TSavedFile> LatestSaves(const std::vector<TSavedListLine>& lines) {
  std::vector<size_t> indexes;
  for (const auto& [path, index] : LatestLineOfEachPath(lines)) indexes.push_back(index);
  std::sort(indexes.begin(), indexes.end());
  std::vector<TSavedFile> saves;
  for (const size_t index : indexes) saves.push_back(*lines[index].save);
  std::stable_sort(saves.begin(), saves.end(), [](const TSavedFile& a, const TSavedFile& b) {
    return a.savedAt.ms < b.savedAt.ms;
  });
  return saves;
}

std::string SavedListWithout(const std::vector<TSavedListLine>& lines,
                             const std::set<std::string>& deletedPaths) {
  const std::map<std::string, size_t> latest = LatestLineOfEachPath(lines);
  std::string bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::optional<TSavedFile>& save = lines[i].save;
    if (save && (latest.at(save->path) != i || deletedPaths.contains(save->path))) continue;
    bytes += lines[i].text + '\n';
  }
  return bytes;
}

std::string SavedListLine(const TSavedFile& save) {
  std::string stamp = LogStamp(save.savedAt);
  stamp.back() = '\t';
  return stamp + save.path + '\n';
}

bool RecordSave(const std::string& listFileName, const TSavedFile& save) {
  if (!IsListablePath(save.path)) return false;
  return AppendWhole(listFileName, SavedListLine(save));
}
