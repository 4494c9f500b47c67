#include "schedule/schedule_event.h"

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

}  // namespace

std::string ScheduleEvent::ToLine() const {
  return WriteFixedColumns(fields, kScheduleColumns);
}

std::vector<ScheduleEvent> ReadScheduleEvents(const std::vector<std::string>& lines) {
  return ReadFixedRows<ScheduleEvent>(lines, kScheduleColumns, [](const std::string& line) {
    return line.size() >= kMinimumScheduleLine;
  });
}
