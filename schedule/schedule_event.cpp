#include "schedule/schedule_event.h"

#include <algorithm>

#include "schedule/fixed_columns.h"

namespace {

// The reader takes two characters fewer of the Resource name than the writer gives it,
// and only the flag character of Neg and the four digits of Time.
constexpr std::array<TFixedColumn, kScheduleFieldCount> kScheduleColumns = {{
    {1, 5, 4},
    {6, 2, 1},
    {8, 52, 50},
    {60, kScheduleUrlWidth, kScheduleUrlWidth},
    {200, 2, 2},
    {202, 255, 255},
}};

constexpr const char* kTimeProblem = "the time must be four digits HHMM from 0000 to 2359, not \"";

bool IsTimeOfDay(const std::string& time) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (time.size() != 4 || !std::all_of(time.begin(), time.end(), digit)) return false;
  return std::stoi(time.substr(0, 2)) < 24 && std::stoi(time.substr(2, 2)) < 60;
}

bool IsEmptyRow(const std::array<std::string, kScheduleFieldCount>& fields) {
  return std::all_of(fields.begin(), fields.end(),
                     [](const std::string& field) { return Trim(field).empty(); });
}

}  // namespace

std::string ScheduleEvent::Problem() const {
  if (IsEmptyRow(fields)) return {};
  if (!IsTimeOfDay(fields[sfTime])) return kTimeProblem + fields[sfTime] + "\"";
  return CellTooLong(fields, kScheduleColumns, kScheduleTitles,
                     {sfResourceName, sfURL, sfFilename});
}

std::string ScheduleEvent::ToLine() const {
  return WriteFixedColumns(fields, kScheduleColumns);
}

std::vector<ScheduleEvent> ReadScheduleEvents(const std::vector<std::string>& lines) {
  return ReadFixedRows<ScheduleEvent>(lines, kScheduleColumns, [](const std::string& line) {
    return line.size() >= kMinimumScheduleLine;
  });
}
