#include "schedule/list_files.h"

#include "runtime/text_file.h"

namespace {

template <class Row>
std::vector<std::string> LinesOf(const std::vector<Row>& rows) {
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (const Row& row : rows) lines.push_back(row.ToLine());
  return lines;
}

}  // namespace

std::vector<ScheduleEvent> LoadScheduleFile(const std::string& fileName) {
  return ReadScheduleEvents(ReadTextFile(fileName));
}

std::vector<ResourceEntry> LoadResourceFile(const std::string& fileName) {
  return ReadResourceEntries(ReadTextFile(fileName));
}

void SaveListFiles(const std::string& programFolder, const std::vector<ScheduleEvent>& events,
                   const std::vector<ResourceEntry>& entries) {
  WriteTextFiles({{programFolder + kScheduleFileName, LinesOf(events)},
                  {programFolder + kResourceFileName, LinesOf(entries)}});
}
