#include "schedule/resource_entry.h"

#include "runtime/strings.h"
#include "schedule/fixed_columns.h"

namespace {

constexpr std::array<TFixedColumn, kResourceColumnCount> kResourceColumns = {{
    {1, 12, 12},
    {13, 5, 5},
    {18, 6, 6},
    {24, 5, 5},
    {29, 9, 9},
    {38, 40, 40},
    {78, 2, 1},
    {80, kResourceUrlWidth, kResourceUrlWidth},
}};

}  // namespace

std::string ResourceEntry::ToLine() const {
  return WriteFixedColumns(fields, kResourceColumns);
}

std::string ResourceEntry::Problem() const {
  return CellTooLong(fields, kResourceColumns, kResourceTitles, {rcResourceName, rcURL});
}

std::vector<ResourceEntry> ReadResourceEntries(const std::vector<std::string>& lines) {
  // The trimmed line only decides whether the line counts. The columns are cut from the
  // line as it is: a row whose first column is empty begins with blanks, and removing
  // them would shift every column.
  return ReadFixedRows<ResourceEntry>(lines, kResourceColumns, [](const std::string& line) {
    return Trim(line).size() > kMaximumSkippedResourceLine;
  });
}
