// The list-file readers on operator-edited text: whatever the bytes, reading never fails,
// and every row read is written within its line width and reads back as it was.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/strings.h"
#include "runtime/text_file.h"
#include "schedule/resource_entry.h"
#include "schedule/schedule_event.h"

namespace {

constexpr size_t kScheduleLineWidth = 456;
constexpr size_t kResourceLineWidth = 334;

void Check(bool condition) {
  if (!condition) std::abort();
}

template <class Row>
void CheckRoundTrip(const std::vector<Row>& rows, size_t width, bool (*kept)(const std::string&),
                    std::vector<Row> (*read)(const std::vector<std::string>&)) {
  for (const Row& row : rows) {
    const std::string line = row.ToLine();
    Check(line.size() <= width);
    Check(line.empty() || !IsBlank(line.back()));
    // A row whose written line is too short to count is the only one that may not return.
    if (!kept(line)) continue;
    const std::vector<Row> again = read({line});
    Check(again.size() == 1 && again[0] == row);
  }
}

bool ScheduleLineCounts(const std::string& line) {
  return line.size() >= kMinimumScheduleLine;
}
bool ResourceLineCounts(const std::string& line) {
  return Trim(line).size() > kMaximumSkippedResourceLine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines =
      SplitTextLines(std::string_view(reinterpret_cast<const char*>(data), size));
  CheckRoundTrip(ReadScheduleEvents(lines), kScheduleLineWidth, ScheduleLineCounts,
                 ReadScheduleEvents);
  CheckRoundTrip(ReadResourceEntries(lines), kResourceLineWidth, ResourceLineCounts,
                 ReadResourceEntries);
  return 0;
}
